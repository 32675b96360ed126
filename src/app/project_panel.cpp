#include "app/project_panel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "files/profile_chart.h"

namespace ormid {

namespace {

struct FieldSpec {
    const char* name;
    const char* caption;
    std::size_t maxLength;
};
constexpr FieldSpec kFields[] = {
    {"eProjectName", "Name", kProjectNameLength},
    {"eLuminaire", "Luminaire", kLuminaireLength},
    {"eDriver", "Driver", kDriverLength},
};

} // namespace

ProjectPanel::ProjectPanel(QWidget* parent) : Card(QStringLiteral("Project"), parent)
{
    setObjectName(QStringLiteral("pPdfProjectName"));
    auto* form = new QFormLayout;
    QLineEdit* fields[std::size(kFields)] = {};
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        fields[i] = new QLineEdit(this);
        fields[i]->setObjectName(QString::fromLatin1(kFields[i].name));
        fields[i]->setMaxLength(static_cast<int>(kFields[i].maxLength));
        // Return in a field confirms, as in a dialog.
        connect(fields[i], &QLineEdit::returnPressed, this, &Card::okClicked);
        form->addRow(QString::fromLatin1(kFields[i].caption), fields[i]);
    }
    eProjectName_ = fields[0];
    eLuminaire_ = fields[1];
    eDriver_ = fields[2];

    cbProfile_ = new QCheckBox(this);
    cbProfile_->setObjectName(QStringLiteral("cbPdfProfile"));
    cbProfile_->setToolTip(QStringLiteral("The night and site are those the Profile panel is set to"));

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(form);
    layout->addWidget(cbProfile_);
    layout->addStretch(1);
    layout->addLayout(okCancelRow("bPdfOK", "bPdfCancel"));
}

void ProjectPanel::showForInput(const ProfileRequest& profile)
{
    cbProfile_->setText(
        QStringLiteral("Profile page (estimate): %1").arg(QString::fromStdString(profileTitle(profile))));
    show();
    raise();
    eProjectName_->setFocus();
}

bool ProjectPanel::withProfile() const
{
    return cbProfile_->isChecked();
}

ReportProject ProjectPanel::project(std::string date) const
{
    return {eProjectName_->text().toStdString(), eLuminaire_->text().toStdString(), eDriver_->text().toStdString(),
            std::move(date)};
}

} // namespace ormid
