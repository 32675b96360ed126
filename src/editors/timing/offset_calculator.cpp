#include "editors/timing/offset_calculator.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/isd_block.h"
#include "editors/help_pictures.h"
#include "editors/timing/locale_decimal.h"

namespace ormid {

namespace {

constexpr int kLowestZone = -11;
constexpr int kHighestZone = 12;
constexpr int kLongitudeHalfDegrees = 360;

// The world's time zones as bands of 15° of longitude, the chosen zone and the chosen
// longitude marked: how far the place lies from its zone's meridian is the offset.
class TimeZoneMap final : public QWidget {
public:
    TimeZoneMap(const QSlider& zone, const QSlider& longitude, QWidget* parent)
        : QWidget(parent), zone_(zone), longitude_(longitude)
    {
        setObjectName(QStringLiteral("iTimeZones"));
        setMinimumHeight(2 * textRow() + kLeastBandHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // The caption has a row above the bands and the zone numbers one below them;
        // the outer numbers, centred under the outer bands, need half their width beside.
        const qreal row = textRow();
        const qreal beside = fontMetrics().horizontalAdvance(QStringLiteral("+12")) / 2.0 + 2;
        const QRectF area = QRectF(rect()).adjusted(beside, row, -beside, -row);
        const auto x = [&](double degrees) { return area.left() + area.width() * (degrees + 180) / 360; };
        for (int zone = -12; zone <= 12; ++zone) {
            const QRectF band(QPointF(x(qMax(-180.0, zone * 15 - 7.5)), area.top()),
                              QPointF(x(qMin(180.0, zone * 15 + 7.5)), area.bottom()));
            const bool chosen = zone == zone_.value();
            painter.fillRect(band,
                             chosen ? QColor(0x1F, 0x7A, 0x8C, 0x80)
                                    : (zone % 2 == 0 ? QColor(0xE4, 0xEC, 0xF1) : QColor(0xF4, 0xF7, 0xF9)));
            if (zone % 3 == 0 || chosen) {
                painter.setPen(chosen ? QColor(0x1F, 0x4F, 0x5C) : QColor(0x55, 0x60, 0x6A));
                painter.drawText(QRectF(band.center().x() - beside, area.bottom(), 2 * beside, row), Qt::AlignCenter,
                                 zone > 0 ? QStringLiteral("+%1").arg(zone) : QString::number(zone));
            }
        }
        painter.setPen(QPen(QColor(0x8F, 0xA3, 0xB3), 1));
        painter.drawRect(area);
        // The zone's meridian dashed, the place solid.
        painter.setPen(QPen(QColor(0x2F, 0x5F, 0x7A), 1.5, Qt::DashLine));
        painter.drawLine(QPointF(x(zone_.value() * 15), area.top()), QPointF(x(zone_.value() * 15), area.bottom()));
        painter.setPen(QPen(QColor(0xC0, 0x39, 0x2B), 2.5));
        const double place = longitude_.value() / 2.0;
        painter.drawLine(QPointF(x(place), area.top()), QPointF(x(place), area.bottom()));
        painter.setPen(QColor(0x33, 0x3D, 0x47));
        painter.drawText(QRectF(area.left(), 0, area.width(), area.top()), Qt::AlignVCenter | Qt::AlignLeft,
                         QStringLiteral("Time zones (UTC)  \u2014  red: your longitude, dashed: zone meridian"));
    }

private:
    static constexpr int kLeastBandHeight = 60;
    // A line of the widget's text with a little air.
    int textRow() const { return fontMetrics().height() + 4; }

    const QSlider& zone_;
    const QSlider& longitude_;
};

QSlider* newSlider(const char* name, int minimum, int maximum, QWidget& parent)
{
    auto* slider = new QSlider(Qt::Horizontal, &parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(minimum, maximum);
    slider->setValue(0);
    return slider;
}

QLineEdit* newReadOnly(const char* name, const QString& text, QWidget& parent)
{
    auto* field = new QLineEdit(text, &parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setFixedWidth(80);
    return field;
}

} // namespace

OffsetCalculator::OffsetCalculator(QWidget* parent) : Card(QStringLiteral("ISD Offset Calculator"), parent)
{
    setObjectName(QStringLiteral("pCalc"));
    sbUTC_ = newSlider("sbUTC", kLowestZone, kHighestZone, *this);
    eUTC_ = newReadOnly("eUTC", QStringLiteral("UTC+0"), *this);
    sbLength_ = newSlider("sbLength", -kLongitudeHalfDegrees, kLongitudeHalfDegrees, *this);
    eLength_ = newReadOnly("eLength", QStringLiteral("0\u00B0"), *this);
    eOffset_ = newReadOnly("eOffset", QStringLiteral("0"), *this);
    map_ = new TimeZoneMap(*sbUTC_, *sbLength_, this);
    connect(sbUTC_, &QSlider::valueChanged, this, &OffsetCalculator::showZone);
    connect(sbLength_, &QSlider::valueChanged, this, &OffsetCalculator::showLongitude);

    const auto row = [this](const QString& caption, QSlider* slider, QLineEdit* field) {
        auto* group = new QGroupBox(caption, this);
        auto* line = new QHBoxLayout(group);
        line->addWidget(slider, 1);
        line->addWidget(field);
        return group;
    };
    auto* result = new QGroupBox(QStringLiteral("Calculated Offset"), this);
    auto* resultLine = new QHBoxLayout(result);
    resultLine->addWidget(eOffset_);
    resultLine->addWidget(new QLabel(QStringLiteral("Min"), result));
    resultLine->addStretch(1);

    auto* help = helpButton("bCalcHelp");
    help_ = new HelpPicture(paintOffsetHelp, "pCalcHelp", "iCalcHelp", this);
    connect(help, &QPushButton::clicked, this, [this] { help_->showOver(captionBand()); });
    QLayout* buttons = okCancelRow("bCalcOK", "bCalcCancel", help);
    connect(this, &Card::okClicked, this, &OffsetCalculator::chooseOffset);
    connect(this, &Card::cancelClicked, this, [this] {
        help_->dismiss();
        hide();
    });

    auto* column = new QVBoxLayout(this);
    setCardLayout(*column);
    column->addWidget(row(QStringLiteral("Time Zone"), sbUTC_, eUTC_));
    column->addWidget(map_, 1);
    column->addWidget(row(QStringLiteral("Geographic Longitude"), sbLength_, eLength_));
    column->addWidget(result);
    column->addLayout(buttons);
    hide();
}

void OffsetCalculator::showZone(int zone)
{
    eUTC_->setText(QString::fromStdString(zoneText(zone)));
    showOffset();
}

void OffsetCalculator::showLongitude(int halfDegrees)
{
    eLength_->setText(QString::fromStdString(longitudeText(halfDegrees, localeDecimalSeparator())));
    showOffset();
}

void OffsetCalculator::showOffset()
{
    const auto offset = calculatedOffset(sbLength_->value(), sbUTC_->value());
    eOffset_->setText(offset ? QString::number(*offset) : QStringLiteral("???"));
    map_->update();
}

void OffsetCalculator::chooseOffset()
{
    if (const auto offset = calculatedOffset(sbLength_->value(), sbUTC_->value()))
        emit offsetChosen(*offset);
    help_->dismiss();
    hide();
}

} // namespace ormid
