#include "app/pdf_report.h"

#include <QString>

#include <ctime>
#include <optional>

#include "app/main_panel.h"
#include "app/project_panel.h"
#include "app/user_dialogs.h"
#include "files/atomic_file.h"
#include "files/report_header.h"
#include "files/report_layout.h"
#include "files/report_model.h"
#include "files/report_pdf.h"

namespace ormid {

namespace {

namespace saveDialog {
const QString title = QStringLiteral("PDF");
const QString filter = QStringLiteral("PDF (*.pdf)");
const QString suffix = QStringLiteral("pdf");
const QString failed = QStringLiteral("The report could not be saved: %1");
} // namespace saveDialog

// The chosen name with the extension ".pdf", replacing any other; a name that only
// starts with a dot (".report") keeps it.
QString withPdfExtension(const QString& fileName)
{
    const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > nameStart ? fileName.left(dot) : fileName;
    return base + QLatin1Char('.') + saveDialog::suffix;
}

} // namespace

PdfReport::PdfReport(PdfReportContext context, QObject* parent) : QObject(parent), context_(context)
{
    projectPanel_ = new ProjectPanel(&context_.panel);
    projectPanel_->setGeometry(context_.panel.scaled(ProjectPanel::kDesignGeometry));
    projectPanel_->hide();
    connect(projectPanel_, &ProjectPanel::okClicked, this, &PdfReport::printAndClose);
    connect(projectPanel_, &ProjectPanel::cancelClicked, this, &PdfReport::cancel);
}

void PdfReport::open()
{
    if (context_.run.formDisabled)
        return;
    context_.run.formDisabled = true;
    projectPanel_->showForInput(context_.profile);
}

void PdfReport::printAndClose()
{
    if (!projectPanel_->isVisible())
        return;
    printReport();
    close();
}

void PdfReport::cancel()
{
    if (projectPanel_->isVisible())
        close();
}

void PdfReport::printReport()
{
    const std::time_t now = std::time(nullptr);
    const ReportProject project = projectPanel_->project(shortDate(now));
    const std::optional<ReportProfile> profile
        = projectPanel_->withProfile() ? buildReportProfile(context_.eeBlock, context_.profile) : std::nullopt;
    const RenderResult pdf = renderReportPdf(
        layoutReport(buildReportModel(context_.eeBlock, &project), loadReportHeader(), profile ? &*profile : nullptr),
        now);
    if (!pdf.ok()) {
        context_.dialogs.showMessage(saveDialog::failed.arg(QString::fromStdString(pdf.error)),
                                     UserDialogs::Kind::critical);
        return;
    }
    const std::optional<QString> fileName
        = context_.dialogs.saveFileName(saveDialog::title, saveDialog::filter, saveDialog::suffix);
    if (!fileName)
        return;
    const FileWriteResult written = writeFileAtomically(withPdfExtension(*fileName).toStdString(), pdf.bytes);
    if (!written.ok())
        context_.dialogs.showMessage(saveDialog::failed.arg(QString::fromStdString(written.error)),
                                     UserDialogs::Kind::critical);
}

void PdfReport::close()
{
    projectPanel_->hide();
    context_.run.formDisabled = false;
}

} // namespace ormid
