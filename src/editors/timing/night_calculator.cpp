#include "editors/timing/night_calculator.h"

#include <QDateEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "core/isd_block.h"
#include "core/night_length.h"
#include "editors/timing/locale_decimal.h"

namespace ormid {

namespace {

constexpr int kLatitudeStart = 100; // N 50°
constexpr int kHorizonStart = -6;   // 3° below the horizon

// clang-format off
constexpr const char* kHelpLines[] = {
    "Twilight is defined according to the solar elevation angle, ",
    "which is the position of the geometric center of the sun ",
    "relative to the horizon. The further the Sun is below the horizon,",
    "the dimmer the twilight.",
    "Civil twilight begins when the geometric center of the sun",
    "is 6° below the horizon.",
    "Our default value is 3° below the horizon: at this angle  ",
    "in Middle Europe the illuminance is about 20 Lux.",
};
// clang-format on

// The help text over the calculator; a click on it or any of its lines hides it.
class HelpText final : public QFrame {
public:
    explicit HelpText(QWidget* parent) : QFrame(parent)
    {
        setObjectName(QStringLiteral("pHelpAstroCalc"));
        setFrameShape(QFrame::Box);
        setAutoFillBackground(true);
        setCursor(Qt::PointingHandCursor);
        auto* column = new QVBoxLayout(this);
        auto* title = new QLabel(QStringLiteral("Twilight begin/end"), this);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        column->addWidget(title);
        for (const char* line : kHelpLines)
            column->addWidget(new QLabel(QString::fromUtf8(line), this));
        column->addStretch(1);
        hide();
    }

protected:
    // The lines leave mouse presses to the panel.
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            hide();
        QFrame::mousePressEvent(event);
    }
};

// A date picker in which a digit typed where the section has no room for it starts
// the section afresh, as the system's pickers do: "30" typed over the day "10" gives
// the 30th wherever the cursor stands in it (QDateEdit would refuse "310" or "130").
class DatePicker final : public QDateEdit {
public:
    using QDateEdit::QDateEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const QString before = text();
        const Section typedInto = currentSection(); // refused, QDateEdit may move on to the next
        QDateEdit::keyPressEvent(event);
        const bool digit = event->text().size() == 1 && event->text().front().isDigit();
        if (digit && text() == before && typedInto != NoSection) {
            setSelectedSection(typedInto);
            QDateEdit::keyPressEvent(event);
        }
    }
};

QSlider* newSlider(const char* name, int minimum, int maximum, int start, QWidget& parent)
{
    auto* slider = new QSlider(Qt::Horizontal, &parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(minimum, maximum);
    slider->setValue(start);
    return slider;
}

QPushButton* newButton(const char* name, const QString& text, QWidget& parent)
{
    auto* button = new QPushButton(text, &parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

NightCalculator::NightCalculator(QWidget* parent) : Card(QStringLiteral("Lenght of Night"), parent)
{
    setObjectName(QStringLiteral("pAstroCalc"));
    sbLatitude_ = newSlider("sbLatitude", -124, 124, kLatitudeStart, *this);
    lLatitude_ = new QLabel(this);
    lLatitude_->setObjectName(QStringLiteral("lLatitude"));
    lLatitude_->setMinimumWidth(60);
    sbHorizon_ = newSlider("sbHorizon", -12, 0, kHorizonStart, *this);
    lHorizon_ = new QLabel(this);
    lHorizon_->setObjectName(QStringLiteral("lHorizon"));
    lHorizon_->setMinimumWidth(60);
    DateTimePicker1_ = new DatePicker(QDate(2014, 3, 10), this);
    DateTimePicker1_->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1_->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    DateTimePicker1_->setCalendarPopup(true);
    eLoN_ = new QLineEdit(this);
    eLoN_->setObjectName(QStringLiteral("eLoN"));
    eLoN_->setFixedWidth(70);

    connect(sbLatitude_, &QSlider::valueChanged, this, &NightCalculator::showNightLength);
    connect(sbHorizon_, &QSlider::valueChanged, this, &NightCalculator::showNightLength);
    connect(DateTimePicker1_, &QDateEdit::dateChanged, this, &NightCalculator::showNightLength);

    const auto group = [this](const QString& caption, QWidget* input, QWidget* shown) {
        auto* box = new QGroupBox(caption, this);
        auto* line = new QHBoxLayout(box);
        line->addWidget(input, 1);
        if (shown != nullptr)
            line->addWidget(shown);
        return box;
    };
    auto* result = new QHBoxLayout;
    result->addStretch(1);
    result->addWidget(new QLabel(QStringLiteral("=>"), this));
    result->addWidget(eLoN_);

    auto* bDSTOn = newButton("bDSTOn", QStringLiteral("Set DST Start"), *this);
    auto* bDSTOff = newButton("bDSTOff", QStringLiteral("Set DST End"), *this);
    auto* cancel = newButton("bAstroCalcCancel", QStringLiteral("Cancel"), *this);
    auto* help = helpButton("bACHelp");
    connect(bDSTOn, &QPushButton::clicked, this, [this] {
        emit nightLengthSet(true, eLoN_->text());
        hide();
    });
    connect(bDSTOff, &QPushButton::clicked, this, [this] {
        emit nightLengthSet(false, eLoN_->text());
        hide();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(bDSTOn);
    buttons->addWidget(bDSTOff);
    buttons->addWidget(cancel);

    auto* column = new QVBoxLayout(this);
    setCardLayout(*column);
    column->addWidget(group(QStringLiteral("Latitude "), sbLatitude_, lLatitude_));
    column->addWidget(group(QStringLiteral("Date"), DateTimePicker1_, nullptr));
    column->addWidget(group(QStringLiteral("Twilight"), sbHorizon_, lHorizon_));
    column->addLayout(result);
    column->addStretch(1);
    column->addLayout(buttons);

    pHelpAstroCalc_ = new HelpText(this);
    connect(help, &QPushButton::clicked, this, [this] {
        pHelpAstroCalc_->setGeometry(rect().adjusted(0, captionBand(), 0, 0));
        pHelpAstroCalc_->show();
        pHelpAstroCalc_->raise();
    });
    showNightLength();
    hide();
}

void NightCalculator::showCalculator()
{
    showNightLength();
    pHelpAstroCalc_->hide();
    show();
    raise();
}

void NightCalculator::showNightLength()
{
    const char separator = localeDecimalSeparator();
    lLatitude_->setText(QString::fromStdString(latitudeText(sbLatitude_->value(), separator)));
    lHorizon_->setText(QString::fromStdString(halfDegreesText(sbHorizon_->value(), separator)));
    const QDate date = DateTimePicker1_->date();
    if (date.year() < 2000)
        return; // the series holds from 2000 on; the result stays as it was
    const auto hours = lengthOfNight(date.day(), date.month(), date.year(), sbLatitude_->value(), sbHorizon_->value());
    // Without twilight that day there is no length of night to set.
    eLoN_->setText(hours ? QString::fromStdString(hoursToHM(*hours)) : QStringLiteral("--:--"));
}

} // namespace ormid
