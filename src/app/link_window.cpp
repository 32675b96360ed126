#include "app/link_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include "app/main_panel.h"
#include "app/user_dialogs.h"

namespace ormid {

namespace {
// Where the firmware version question appears on the screen.
constexpr QPoint kVersionQuestionPosition{400, 350};
} // namespace

LinkWindow::LinkWindow(LinkWindowContext context, LinkEngineOptions options, std::chrono::milliseconds tickPeriod,
                       QObject* parent)
    : QObject(parent),
      context_(context),
      engine_(context.transport, context.eeBlock, *this, context.waiter, options)
{
    timer3_ = new QTimer(this);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setInterval(tickPeriod);
    connect(timer3_, &QTimer::timeout, this, &LinkWindow::Timer3Timer);
}

void LinkWindow::start()
{
    engine_.start();
    timer3_->start();
}

void LinkWindow::stop()
{
    timer3_->stop();
}

// The timer rests while a tick runs: the read pause and the version question wait
// inside the tick, and a second tick must not start meanwhile.
void LinkWindow::Timer3Timer()
{
    timer3_->stop();
    engine_.Timer3Timer();
    timer3_->start();
}

void LinkWindow::setFirmware(const FirmwareImage& firmware)
{
    engine_.setFirmware(firmware.fwImage, firmware.fwSize);
}

template <typename T>
T* LinkWindow::element(const char* name) const
{
    return context_.panel.findChild<T*>(QString::fromLatin1(name));
}

void LinkWindow::setCaption(const std::string& text)
{
    context_.window.setWindowTitle(QString::fromStdString(text));
}

void LinkWindow::appendCaption(const std::string& text)
{
    context_.window.setWindowTitle(context_.window.windowTitle() + QString::fromStdString(text));
}

bool LinkWindow::formDisabled() const
{
    return context_.run.formDisabled;
}

void LinkWindow::setFormDisabled(bool disabled)
{
    context_.run.formDisabled = disabled;
}

void LinkWindow::showActionButtons(bool shown)
{
    if (shown)
        context_.panel.enableButtons();
    else
        context_.panel.disableButtons();
}

void LinkWindow::defaultCursor()
{
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

bool LinkWindow::debugLogging() const
{
    const auto* debug = element<QAbstractButton>("cbStickDebug");
    const auto* hold = element<QAbstractButton>("cbDebugHold");
    return context_.run.debugMode && debug && debug->isChecked() && hold && !hold->isChecked();
}

void LinkWindow::log(const std::string& line)
{
    if (!debugLogging())
        return;
    if (auto* memo = element<QPlainTextEdit>("mDebug"))
        memo->appendPlainText(QString::fromStdString(line));
}

void LinkWindow::showFirmwareProgress(int position, int maximum)
{
    auto* progress = element<QProgressBar>("pbFWUpdate");
    progress->setRange(0, maximum);
    progress->setValue(position);
    progress->show();
}

void LinkWindow::hideFirmwareProgress()
{
    element<QProgressBar>("pbFWUpdate")->hide();
}

bool LinkWindow::askFirmwareUpdate(const std::string& question)
{
    const QString text = QString::fromStdString(question);
    return context_.dialogs.askWarningAt(text, kVersionQuestionPosition) == UserDialogs::Answer::yes;
}

void LinkWindow::beep()
{
    context_.dialogs.beep();
}

void LinkWindow::showDeviceLog(const std::optional<DeviceLog>& values)
{
    auto* group = element<QGroupBox>("gbLog");
    if (values) {
        element<QLabel>("lOp")->setText(QString::number(values->operationMinutes) + QStringLiteral(" min"));
        element<QLabel>("lSwCnt")->setText(QString::number(values->switchCount));
        element<QLabel>("lOverT")->setText(QString::number(values->overTempMinutes) + QStringLiteral(" min"));
        element<QLabel>("lMaxT")->setText(QString::number(values->maxTemperature) + QStringLiteral(" °C"));
    }
    group->setVisible(values.has_value());
}

void LinkWindow::redraw()
{
    context_.panel.setDisplay();
}

} // namespace ormid
