#include "app/profile_panel.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cmath>

namespace ormid {

namespace {

// The site fields take what the night calculator takes.
constexpr double kMostLatitude = 89.5;
constexpr double kLowestTwilight = -18;
constexpr int kMostAgeHours = 1'000'000;
const QDate kFirstDate(kFirstSeriesYear, 1, 1);
const QDate kLastDate(2099, 12, 31);

QDoubleSpinBox* degreesField(const char* name, double lowest, double highest, QWidget* parent)
{
    auto* field = new QDoubleSpinBox(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setRange(lowest, highest);
    field->setDecimals(1);
    field->setSingleStep(0.5);
    field->setSuffix(QStringLiteral("\u00B0"));
    return field;
}

} // namespace

ProfileChartView::ProfileChartView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("iProfileChart"));
    setMinimumSize(200, 150);
}

void ProfileChartView::setChart(ProfileChart chart)
{
    chart_ = std::move(chart);
    update();
}

void ProfileChartView::paintEvent(QPaintEvent*)
{
    // The chart drawn in device pixels, so that it is sharp on any screen.
    const qreal ratio = devicePixelRatioF();
    QImage image(static_cast<int>(std::lround(width() * ratio)), static_cast<int>(std::lround(height() * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()
        || !renderProfileChartInto(chart_, image.bits(), image.width(), image.height(),
                                   static_cast<int>(image.bytesPerLine())))
        return;
    image.setDevicePixelRatio(ratio);
    QPainter(this).drawImage(QPoint(0, 0), image);
}

ProfilePanel::ProfilePanel(QWidget* parent) : Card(QStringLiteral("Profile"), parent)
{
    setObjectName(QStringLiteral("pProfile"));

    date_ = new QDateEdit(this);
    date_->setObjectName(QStringLiteral("eProfileDate"));
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date_->setDateRange(kFirstDate, kLastDate);
    date_->setCalendarPopup(true);
    latitude_ = degreesField("eProfileLat", -kMostLatitude, kMostLatitude, this);
    latitude_->setToolTip(QStringLiteral("Degrees north, south negative"));
    twilight_ = degreesField("eProfileTwilight", kLowestTwilight, 0, this);
    twilight_->setToolTip(QStringLiteral("The sun's elevation at switch-on and switch-off"));
    lst_ = new QCheckBox(QStringLiteral("LSt event"), this);
    lst_->setObjectName(QStringLiteral("cbProfileLst"));
    lstTime_ = new QTimeEdit(this);
    lstTime_->setObjectName(QStringLiteral("eProfileLst"));
    lstTime_->setDisplayFormat(QStringLiteral("HH:mm"));
    lstTime_->setEnabled(false);
    age_ = new QSpinBox(this);
    age_->setObjectName(QStringLiteral("eProfileAge"));
    age_->setRange(0, kMostAgeHours);
    age_->setSingleStep(500);
    age_->setSuffix(QStringLiteral(" h"));
    age_->setToolTip(QStringLiteral("Operating hours, for the maintenance factor and burn-in"));

    auto* fields = new QHBoxLayout;
    const auto add = [&](const char* caption, QWidget* field) {
        if (caption != nullptr)
            fields->addWidget(new QLabel(QString::fromLatin1(caption), this));
        fields->addWidget(field);
        fields->addSpacing(10);
    };
    add("Date", date_);
    add("Latitude", latitude_);
    add("Twilight", twilight_);
    fields->addWidget(lst_);
    add(nullptr, lstTime_);
    add("Age", age_);
    fields->addStretch(1);

    chart_ = new ProfileChartView(this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("bProfileClose"));
    connect(close, &QPushButton::clicked, this, &Card::cancelClicked);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    setCardLayout(*layout);
    layout->addLayout(fields);
    layout->addWidget(chart_, 1);
    layout->addLayout(closeRow);

    const auto changed = [this] {
        if (!filling_)
            emit requestChanged();
    };
    connect(date_, &QDateEdit::dateChanged, this, changed);
    connect(latitude_, &QDoubleSpinBox::valueChanged, this, changed);
    connect(twilight_, &QDoubleSpinBox::valueChanged, this, changed);
    connect(lst_, &QCheckBox::toggled, lstTime_, &QWidget::setEnabled);
    connect(lst_, &QCheckBox::toggled, this, changed);
    connect(lstTime_, &QTimeEdit::timeChanged, this, changed);
    connect(age_, &QSpinBox::valueChanged, this, changed);
}

void ProfilePanel::showRequest(const ProfileRequest& request)
{
    filling_ = true;
    date_->setDate(QDate(request.date.year, request.date.month, request.date.day));
    latitude_->setValue(request.latitude);
    twilight_->setValue(request.twilight);
    lst_->setChecked(request.lstEvent.has_value());
    if (request.lstEvent)
        lstTime_->setTime(QTime(*request.lstEvent / 60, *request.lstEvent % 60));
    age_->setValue(static_cast<int>(request.ageHours));
    filling_ = false;
}

ProfileRequest ProfilePanel::request() const
{
    const QDate date = date_->date();
    const QTime lst = lstTime_->time();
    return {
        .date = {date.day(), date.month(), date.year()},
        .latitude = latitude_->value(),
        .twilight = twilight_->value(),
        .lstEvent = lst_->isChecked() ? std::optional<int>(lst.hour() * 60 + lst.minute()) : std::nullopt,
        .ageHours = static_cast<double>(age_->value()),
    };
}

void ProfilePanel::showChart(ProfileChart chart)
{
    chart_->setChart(std::move(chart));
}

} // namespace ormid
