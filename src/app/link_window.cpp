#include "app/link_window.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "app/main_panel.h"
#include "app/user_dialogs.h"
#include "core/byte_compare.h"
#include "core/text_lines.h"

namespace ormid {

namespace {

// Where the firmware version question appears, from the window's top left.
constexpr QPoint kVersionQuestionPosition{400, 350};

namespace caption {
constexpr const char* usbStick = "USB Stick";
constexpr const char* ready = "            Ready...";
constexpr const char* readError = "Read Error!";
constexpr const char* transferFinished = "->Transfer finished.";
constexpr const char* updateFinished = "->FW Update finished.";
const QString updateRefused = QStringLiteral("->FW Update refused at page %1 of %2!");
// Nobody knows whether the device took the page whose answer did not come.
const QString updateUnanswered
    = QStringLiteral("->FW Update: no answer at page %1 of %2, which may or may not have been stored!");
// While a write or an update runs the caption keeps moving, however slow the replies.
const QString transferProgress = QStringLiteral("->Transfer %1/%2");
const QString updateProgress = QStringLiteral("->FW Update %1/%2");
constexpr const char* updateResetFirst = "->FW Update: waiting for the device to restart before the first page...";
constexpr const char* updateRestarting = "->FW Update: waiting for the device to restart...";
constexpr const char* updateNotStarted = "->FW Update not started: the device did not come back after its Reset!";
const QString updateNotTaken = QStringLiteral("->FW Update failed: the device announces %1!");
constexpr const char* updateUnconfirmed = "->FW Update not confirmed: the device did not come back!";
constexpr const char* verified = "  ->Transfer verified.";
constexpr const char* notVerified = "  ->Transfer NOT verified!";
} // namespace caption

namespace text {
const QString notRead = QStringLiteral("The device memory has not been read completely. Wait until it has been "
                                       "read, or click \"ReRead\", then try again.");
const QString busy = QStringLiteral("The device is still busy with a transfer. Please wait until it has finished.");
const QString noFirmware = QStringLiteral("No firmware image is loaded.");
const QString verifyFailed = QStringLiteral(
    "The device reads back otherwise than it was written (%1).\nThe window keeps the configuration you sent: click "
    "\"Transfer\" to write it again.");
} // namespace text

// A verify message names at most this many bytes.
constexpr std::size_t kNamedBytes = 8;

// "byte 20: wrote 0x2B, read 0xD4; ...", at most kNamedBytes of them.
QString mismatchText(const std::vector<ByteMismatch>& mismatches)
{
    QStringList parts;
    for (std::size_t i = 0; i < mismatches.size() && i < kNamedBytes; ++i)
        parts << QStringLiteral("byte %1: wrote 0x%2, read 0x%3")
                     .arg(mismatches[i].at)
                     .arg(QString::fromStdString(hexByte(mismatches[i].expected)))
                     .arg(QString::fromStdString(hexByte(mismatches[i].found)));
    if (mismatches.size() > kNamedBytes)
        parts << QStringLiteral("%1 more").arg(mismatches.size() - kNamedBytes);
    return parts.join(QStringLiteral("; "));
}

// The version an update sends: a loaded file's, else the built-in image's (in USB Stick
// mode the built-in image leaves `fwVersion` alone).
Byte updateVersion(const FirmwareImage& firmware)
{
    return firmware.fwPending ? firmware.fwVersion : firmware.embeddedFwVersion;
}

} // namespace

LinkWindow::LinkWindow(LinkWindowContext context, LinkEngineOptions options, std::chrono::milliseconds tickPeriod,
                       QObject* parent)
    : QObject(parent), context_(std::move(context)),
      engine_(context_.transport, context_.eeBlock, options, [this](const std::string& line) { log(line); })
{
    timer3_ = new QTimer(this);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setInterval(tickPeriod);
    connect(timer3_, &QTimer::timeout, this, &LinkWindow::tickEngine);
}

void LinkWindow::start()
{
    engine_.start();
    timer3_->start();
}

void LinkWindow::stop()
{
    stopped_ = true;
    timer3_->stop();
}

// The timer rests while the outcomes are shown: the version question holds the
// engine until it is answered (and the window may close meanwhile).
void LinkWindow::tickEngine()
{
    timer3_->stop();
    if (sentForVerify_)
        imageBeforeVerify_ = context_.eeBlock;
    for (const LinkOutcome outcome : engine_.tick())
        present(outcome);
    if (!stopped_)
        timer3_->start();
}

void LinkWindow::present(LinkOutcome outcome)
{
    RunState& run = context_.run;
    MainPanel& panel = context_.panel;
    switch (outcome) {
    case LinkOutcome::deviceGone:
        sentForVerify_.reset();
        setCaption(caption::usbStick);
        run.formDisabled = true;
        panel.hideActionButtons();
        panel.hideFirmwareProgress(); // an update is abandoned with its device
        emit presenceWatchWanted(true);
        return;
    case LinkOutcome::readDone:
        endOfRead();
        return;
    case LinkOutcome::questionDue:
        askFirmwareUpdate();
        return;
    case LinkOutcome::readFailed:
        sentForVerify_.reset();
        // What the image holds now is no device image; "ReRead" must stay within reach.
        setCaption(caption::readError);
        panel.showLogo(true);
        unlock();
        return;
    case LinkOutcome::frameWritten:
        showProgress(caption::transferProgress.arg(engine_.writeProgress().framesAcknowledged)
                         .arg(LinkEngine::kWriteFrames)
                         .toStdString());
        return;
    case LinkOutcome::writeDone:
        // The read the device's next identification starts shows whether it holds what was sent.
        sentForVerify_.emplace(engine_.writtenImage().begin(),
                               engine_.writtenImage().begin() + LinkEngine::kWrittenBytes);
        showVerdict(caption::transferFinished);
        emit presenceWatchWanted(true);
        return;
    case LinkOutcome::writeFailed:
        setCaption(std::string(kTransferError));
        // The device may hold part of the frames now: only the window holds the configuration.
        context_.kept.keptNowhere();
        emit presenceWatchWanted(true);
        return;
    case LinkOutcome::pagesBegin:
        showProgress(caption::updateProgress.arg(0).arg(engine_.firmwarePages()).toStdString());
        return;
    case LinkOutcome::pageSent:
        panel.setFirmwareProgress(engine_.firmwareProgress());
        showProgress(
            caption::updateProgress.arg(engine_.firmwareProgress()).arg(engine_.firmwarePages()).toStdString());
        return;
    case LinkOutcome::resetSent:
        panel.hideFirmwareProgress();
        showProgress(caption::updateRestarting);
        return;
    case LinkOutcome::updateDone:
        // The device announced the version it runs now.
        showDevice();
        firmwareUpdateEnded(caption::updateFinished, false);
        return;
    case LinkOutcome::updateNotTaken:
        firmwareUpdateEnded(
            caption::updateNotTaken.arg(QString::fromStdString(firmwareVersionText(engine_.identification())))
                .toStdString(),
            true);
        return;
    case LinkOutcome::updateUnconfirmed:
        firmwareUpdateEnded(caption::updateUnconfirmed, true);
        return;
    case LinkOutcome::updateNotStarted:
        firmwareUpdateEnded(caption::updateNotStarted, true);
        return;
    case LinkOutcome::updateRefused:
        firmwareUpdateEnded(
            caption::updateRefused.arg(engine_.firmwarePageInFlight()).arg(engine_.firmwarePages()).toStdString(),
            true);
        return;
    case LinkOutcome::updateUnanswered:
        firmwareUpdateEnded(
            caption::updateUnanswered.arg(engine_.firmwarePageInFlight()).arg(engine_.firmwarePages()).toStdString(),
            true);
        return;
    }
}

void LinkWindow::endOfRead()
{
    showDevice();
    const std::optional<std::vector<Byte>> changed = changedSinceTransfer();
    const std::optional<QString> verifyFailure = verifyRead();
    context_.panel.showDeviceLog(deviceLogShown(context_.run.options.showLog, engine_.deviceFwVersion())
                                     ? std::optional<DeviceLog>(readDeviceLog(context_.eeBlock))
                                     : std::nullopt);
    // After a failed verify the window shows what was sent, which the device does not hold.
    emit imageChanged(verifyFailure ? ImageChange::keptNowhere : ImageChange::kept);
    if (changed) {
        std::copy(changed->begin(), changed->end(), context_.eeBlock.begin());
        emit imageChanged(ImageChange::edited);
    }
    unlock();
    if (verifyFailure)
        context_.dialogs.showMessage(*verifyFailure, UserDialogs::Kind::warning);
}

std::optional<std::vector<Byte>> LinkWindow::changedSinceTransfer() const
{
    if (!sentForVerify_ || imageBeforeVerify_.size() < sentForVerify_->size())
        return std::nullopt;
    const auto userBytes = imageBeforeVerify_.begin();
    if (std::equal(sentForVerify_->begin(), sentForVerify_->end(), userBytes))
        return std::nullopt;
    return std::vector<Byte>(userBytes, userBytes + static_cast<std::ptrdiff_t>(sentForVerify_->size()));
}

std::optional<QString> LinkWindow::verifyRead()
{
    if (!sentForVerify_)
        return std::nullopt;
    const std::vector<Byte> sent = std::move(*sentForVerify_);
    sentForVerify_.reset();
    EeBlock& image = context_.eeBlock;
    const std::vector<ByteMismatch> mismatches
        = byteMismatches(sent, ByteSpan(image).first(std::min(LinkEngine::kWrittenBytes, image.size())));
    if (mismatches.empty()) {
        showVerdict(caption::verified);
        return std::nullopt;
    }
    showVerdict(caption::notVerified);
    // Nothing the user sent is lost: the window shows it again, ready for another Transfer.
    std::copy(sent.begin(), sent.end(), image.begin());
    return text::verifyFailed.arg(mismatchText(mismatches));
}

void LinkWindow::askFirmwareUpdate()
{
    const QString question = QString::fromStdString(
        LinkEngine::versionQuestion(engine_.deviceFwVersion(), engine_.options().embeddedFwVersion));
    if (context_.dialogs.askWarningAt(question, kVersionQuestionPosition) == UserDialogs::Answer::yes)
        updateFirmware();
}

void LinkWindow::firmwareUpdateEnded(const std::string& verdict, bool failed)
{
    if (failed)
        context_.dialogs.beep();
    showVerdict(verdict);
    context_.panel.hideFirmwareProgress();
    context_.run.formDisabled = false;
}

void LinkWindow::unlock()
{
    context_.run.formDisabled = false;
    context_.panel.showActionButtons();
    while (QApplication::overrideCursor() != nullptr)
        QApplication::restoreOverrideCursor();
}

bool LinkWindow::started(LinkStart start)
{
    switch (start) {
    case LinkStart::started:
        return true;
    case LinkStart::busy:
        context_.dialogs.showMessage(text::busy, UserDialogs::Kind::warning);
        break;
    case LinkStart::notRead:
        context_.dialogs.showMessage(text::notRead, UserDialogs::Kind::warning);
        break;
    case LinkStart::noFirmware:
        context_.dialogs.showMessage(text::noFirmware, UserDialogs::Kind::warning);
        break;
    case LinkStart::notReady:
        break; // nothing to read again yet: the device's next identification starts a read
    }
    return false;
}

// The window stays usable while the frames go out: the engine writes a snapshot.
void LinkWindow::transfer()
{
    emit presenceWatchWanted(false);
    if (!started(engine_.startWrite()))
        emit presenceWatchWanted(true);
}

void LinkWindow::reread()
{
    if (context_.run.formDisabled)
        return;
    started(engine_.startRead());
}

void LinkWindow::updateFirmware()
{
    if (context_.run.formDisabled || !started(engine_.startUpdate()))
        return;
    context_.run.formDisabled = true;
    context_.panel.startFirmwareProgress(engine_.firmwarePages());
    showProgress(caption::updateResetFirst);
}

void LinkWindow::setFirmware(const FirmwareImage& firmware)
{
    engine_.setFirmware(firmware.fwImage, firmware.fwSize, updateVersion(firmware));
}

void LinkWindow::setCaption(std::string text)
{
    context_.status.setMode(std::move(text));
    emit statusChanged();
}

void LinkWindow::showDevice()
{
    context_.status.setMode(caption::usbStick);
    context_.status.setDevice(deviceText(engine_.identification()) + caption::ready);
    emit statusChanged();
}

void LinkWindow::showProgress(std::string text)
{
    context_.status.setProgress(std::move(text));
    emit statusChanged();
}

void LinkWindow::showVerdict(std::string text)
{
    context_.status.setVerdict(std::move(text));
    emit statusChanged();
}

void LinkWindow::log(const std::string& line)
{
    context_.panel.logDebugLine(QString::fromStdString(line));
}

} // namespace ormid
