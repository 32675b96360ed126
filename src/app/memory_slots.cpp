#include "app/memory_slots.h"

#include <QPushButton>

#include <algorithm>

#include "app/main_panel.h"
#include "app/user_dialogs.h"
#include "core/dimming_curve.h"
#include "link/block_transfer.h"
#include "link/memory_transfer.h"

namespace ormid {

namespace {

namespace text {
const QString usbError = QStringLiteral("   USB Error!   ");
const QString areYouSure = QStringLiteral("Are youe sure?");
const QString eraseAll = QStringLiteral("All parameter in M1, M2, M3 and M4 will be erased! Are youe sure?");
const QString writeError = QStringLiteral("Firmware Write Error!");
const QString hintPrefix = QStringLiteral("Info: ");
constexpr const char* defaultName = "Default";
const QString damaged = QStringLiteral("The data of memory M%1 is damaged (%2); the default image is shown instead.");
const QString damagedHint = QStringLiteral(" - damaged: %1");
} // namespace text

const QString kUsedStyle = QStringLiteral("background-color: rgb(166,202,240);"); // sky blue
const QString kEmptyStyle = QStringLiteral("background-color: rgb(0,255,0);");    // lime

} // namespace

MemorySlots::MemorySlots(MemoryContext context, QObject* parent) : QObject(parent), context_(context)
{
}

QPushButton& MemorySlots::memoryButton(int n) const
{
    return context_.panel.memoryButton(n);
}

void MemorySlots::setMemoryLook(int n)
{
    QPushButton& button = memoryButton(n);
    const TMemory& memory = memories_[n - 1];
    button.setStyleSheet(memory.empty ? kEmptyStyle : kUsedStyle);
    // A tool tip shows whenever the pointer rests on the button, whatever "Show Hints" says.
    QString hint = memory.name.empty() ? QString() : text::hintPrefix + QString::fromStdString(memory.name);
    EeBlock scratch = makeDefaultImage();
    if (const DataBlockWalk walk = imageFromMemory(memory, scratch); isDamaged(walk))
        hint += text::damagedHint.arg(QString::fromUtf8(describe(walk)));
    button.setToolTip(hint);
}

void MemorySlots::readMemories()
{
    StickSequence sequence(context_.run);
    for (int n = 1; n <= kMemoryCount; ++n) {
        TMemory& memory = memories_[n - 1];
        memory = memoryFromRecord(readMemoryRecord(context_.controlBlock, n), context_.run.remoteMode);
        // A block that does not arrive leaves what did arrive; start-up goes on without a word.
        if (!memory.empty)
            memory.data = readBlock(context_.transport, context_.waiter, memory.address, [this](int cycle) {
                              if (cycle % StatusLine::kCyclesPerDot == 0) {
                                  context_.status.addProgressDot();
                                  emit statusChanged();
                              }
                          }).block;
        setMemoryLook(n); // with the data block: a damaged memory says so before it is chosen
    }
}

void MemorySlots::chooseMemory(int n)
{
    if (!isMemorySlot(n) || n == inertSlot_)
        return;
    RunState& run = context_.run;
    for (int other = 1; other <= kMemoryCount; ++other)
        memoryButton(other).setVisible(other == n);
    inertSlot_ = n;
    run.selectedSlot = n;
    context_.panel.showActionButtons();
    run.modeButtonShown = false;

    showImageOf(n);
    const TMemory& memory = memories_[n - 1];
    if (!memory.name.empty())
        emit memoryNameChanged(memory.name);
    if (run.remoteMode) {
        emit txSelectionChanged(memory.cbStatus);
        context_.panel.showTransferDuration(true);
    }
    emit imageChanged(ImageChange::kept);
    run.formDisabled = false;
}

void MemorySlots::showImageOf(int n)
{
    const TMemory& memory = memories_[n - 1];
    EeBlock& image = context_.eeBlock;
    const DataBlockWalk walk = imageFromMemory(memory, image);
    if (isDamaged(walk)) {
        // The user edits the default image instead and learns why.
        context_.dialogs.showMessage(text::damaged.arg(n).arg(QString::fromUtf8(describe(walk))),
                                     UserDialogs::Kind::warning);
        return;
    }
    if (memory.empty)
        return;
    // A remote stick's memories are written without the forward conversion.
    if (!context_.run.remoteMode)
        emit filledMemoryShown();
    if (!context_.run.options.copyAstro)
        clearAstroData(image);
}

void MemorySlots::showMemoryButtons()
{
    inertSlot_ = 0;
    for (int n = 1; n <= kMemoryCount; ++n) {
        memoryButton(n).show();
        memoryButton(n).setEnabled(true);
    }
}

void MemorySlots::cancelMemory()
{
    RunState& run = context_.run;
    if (run.formDisabled)
        return;
    MainPanel& panel = context_.panel;
    panel.showLogo(true);
    panel.showTransferDuration(false);
    panel.showHintsBox(false);
    showMemoryButtons();
    emit memoryNameChanged({});
    panel.hideActionButtons();
    run.formDisabled = true;
    emit memoryCancelled();
    if (run.modeQueryAnswered)
        emit modeButtonWanted();
}

void MemorySlots::askToClearMemory()
{
    if (context_.run.formDisabled)
        return;
    switch (context_.dialogs.askYesNo(text::areYouSure)) {
    case UserDialogs::Answer::yes:
        clearMemory();
        break;
    case UserDialogs::Answer::no:
        context_.dialogs.beep();
        break;
    case UserDialogs::Answer::dismissed:
        break;
    }
}

void MemorySlots::clearMemory()
{
    RunState& run = context_.run;
    EeBlock& image = context_.eeBlock;
    if (run.usbStick()) {
        std::fill(image.begin(), image.end(), Byte{0xFF});
    } else if (isMemorySlot(run.selectedSlot)) {
        const int n = run.selectedSlot;
        TMemory& memory = memories_[n - 1];
        memory.empty = true;
        memory.name.clear();
        setMemoryLook(n);
        clearMemoryName(context_.controlBlock, n);
    }
    const EeBlock defaults = makeDefaultImage();
    if (image.size() < defaults.size())
        image.resize(defaults.size());
    std::copy(defaults.begin(), defaults.end(), image.begin());
    emit memoryNameChanged(text::defaultName);
    emit imageChanged(ImageChange::kept);
}

void MemorySlots::transfer()
{
    RunState& run = context_.run;
    if (run.formDisabled)
        return;
    if (!run.stickFound()) {
        context_.dialogs.showMessage(text::usbError, UserDialogs::Kind::critical);
        return;
    }
    if (run.usbStick()) {
        emit usbTransferWanted();
        return;
    }
    // Without a chosen memory in memory mode there is nothing to write to.
    if (!isMemorySlot(run.selectedSlot))
        return;
    writeMemory();
}

void MemorySlots::writeMemory()
{
    RunState& run = context_.run;
    emit presenceWatchWanted(false);
    context_.panel.hideActionButtons();
    run.formDisabled = true;

    MemoryTransferRequest request;
    request.controlBlock = context_.controlBlock;
    request.memory = run.selectedSlot;
    request.image = context_.eeBlock;
    request.infoText = context_.memoryName;
    request.remoteMode = run.remoteMode;
    request.txStatus = run.remoteMode ? context_.txSelection : Byte{0};
    request.curveCorrection = [&curve = context_.selectedCurve](EeBlock& image) { correctImageLevels(image, curve); };
    request.firmware = pendingFirmware();
    // Reported as it happens; the Transfer goes on with the control block.
    request.firmwareStoreFailed = [this](BlockWriteResult) {
        reportTransferError(
            QString::fromUtf8(kFirmwareStoreErrorCode.data(), static_cast<qsizetype>(kFirmwareStoreErrorCode.size())));
    };

    MemoryTransferResult result;
    {
        StickSequence sequence(run);
        BusyCursor busy;
        result = ormid::transferMemory(context_.transport, context_.waiter, request);
    }
    if (!result.ok()) {
        // Nothing was sent for an invalid request; it is reported as the data block that was not written.
        const TransferStep step = result.failedStep.value_or(TransferStep::dataBlock);
        reportTransferError(QString::fromUtf8(transferErrorCode(step)));
        // The memory may hold part of the write now: only the window holds the configuration.
        context_.kept.keptNowhere();
        offerFilesAfterFailure();
        return;
    }
    context_.controlBlock = result.controlBlock;
    if (result.firmware == FirmwareStore::stored) {
        FirmwareImage& firmware = context_.firmware;
        firmware.fwImage.clear();
        firmware.fwPending = false;
        firmware.stickFwVersion = firmware.fwVersion;
    }
    emit restartWanted(!run.remoteMode);
}

std::optional<PendingFirmware> MemorySlots::pendingFirmware() const
{
    const FirmwareImage& firmware = context_.firmware;
    if (context_.run.remoteMode || !firmware.fwPending || firmware.fwImage.empty())
        return std::nullopt;
    return PendingFirmware{firmware.fwImage, firmware.fwSize, firmware.fwVersion};
}

void MemorySlots::reportTransferError(const QString& code)
{
    // Hiding the action buttons also restores the default cursor.
    context_.panel.hideActionButtons();
    context_.dialogs.showMessage(text::writeError + code, UserDialogs::Kind::critical);
    showMemoryButtons();
}

// The image the user edited must not be lost with a failed Transfer: it can still be
// saved, and a stick pulled out or plugged in again asks to save it before the restart.
void MemorySlots::offerFilesAfterFailure()
{
    context_.panel.showFileButtons(true);
    context_.run.formDisabled = false;
    emit presenceWatchWanted(true);
}

void MemorySlots::eraseAll()
{
    RunState& run = context_.run;
    if (run.formDisabled && !run.modeButtonShown)
        return;
    const bool remote = run.modeSwitchToRemote();
    if (!run.stickFound()) {
        context_.dialogs.showMessage(text::usbError, UserDialogs::Kind::critical);
        return;
    }
    emit presenceWatchWanted(false);
    switch (context_.dialogs.askYesNo(text::eraseAll)) {
    case UserDialogs::Answer::yes:
        // The stick only changes its kind once the user has agreed.
        run.remoteMode = remote;
        eraseStick(context_.transport, remote);
        emit restartWanted(false);
        break;
    case UserDialogs::Answer::no:
        context_.dialogs.beep();
        emit presenceWatchWanted(true);
        break;
    case UserDialogs::Answer::dismissed:
        emit presenceWatchWanted(true);
        break;
    }
}

} // namespace ormid
