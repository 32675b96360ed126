#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include <functional>
#include <utility>

#include "app/command_line.h"
#include "app/main_panel.h"
#include "app/pdf_report.h"
#include "app/profile_view.h"
#include "core/display_rules.h"
#include "core/encodings.h"
#include "core/panel_view.h"
#include "editors/editor_host.h"
#include "editors/output/block_timer_editor.h"
#include "editors/output/dimming_curve_panel.h"
#include "editors/output/dimming_curves.h"
#include "editors/output/hold_editor.h"
#include "editors/output/mff_editor.h"
#include "editors/output/output_editor.h"
#include "editors/output/power_on_editor.h"
#include "editors/output/relay_editor.h"
#include "editors/output/thermal_editor.h"
#include "editors/timing/dimming_engine_editor.h"
#include "editors/timing/isd_editor.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/curve_folder.h"
#include "link/embedded_firmware.h"
#include "link/firmware_container.h"

namespace ormid {

namespace {

namespace caption {
constexpr const char* memoryMode = "Ormid";
constexpr const char* loading = "Loading";
constexpr const char* usbStick = "USB Stick";
constexpr const char* demo = "Demo Mode";
constexpr const char* noAnswer = "No answer from the stick - unplug it and plug it in again";
constexpr const char* restartFailed = "Restart failed - please start the program again";
constexpr const char* stickPulled = "The stick was pulled out; save your configuration or plug the stick in again";
constexpr const char* stickPlugged = "A stick was plugged in; save your configuration or pull the stick out again";
} // namespace caption

namespace text {
const QString unsavedBeforeRestart
    = QStringLiteral("The configuration in the window has changes that are saved nowhere else.\n\nThe program "
                     "restarts to follow the stick. Save the changes first?");
} // namespace text

namespace fileDialog {
const QString openTitle = QStringLiteral("Open File");
const QString openFilter = QStringLiteral("Configuration files (*.kdc);;Firmware files (*.kdp)");
const QString saveTitle = QStringLiteral("Configuration Save");
const QString saveFilter = QStringLiteral("Configuration files (*.kdc)");
const QString suffix = QStringLiteral("kdc");
const QString readFailed = QStringLiteral("The file could not be read: %1");
const QString saveFailed = QStringLiteral("The configuration could not be saved: %1");
} // namespace fileDialog

constexpr int kDemoPauseRounds = 20; // the demo image appears after 20 x 100 ms
constexpr std::chrono::milliseconds kDemoPauseRound{100};

} // namespace

MainWindow::MainWindow(std::unique_ptr<HidTransport> transport, std::vector<std::string> arguments, Waiter& waiter,
                       ProcessControl& process, WindowTiming timing, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), kept_(eeBlock_, memoryName_), transport_(std::move(transport)),
      arguments_(std::move(arguments)), waiter_(waiter), process_(process),
      ownDialogs_(dialogs == nullptr ? std::make_unique<SystemUserDialogs>(*this) : nullptr),
      dialogs_(dialogs == nullptr ? *ownDialogs_ : *dialogs), linkTick_(timing.linkTick)
{
    modeQueryTimer_ = new QTimer(this);
    modeQueryTimer_->setObjectName(QStringLiteral("Timer4"));
    modeQueryTimer_->setInterval(timing.modeQueryPoll);
    connect(modeQueryTimer_, &QTimer::timeout, this, &MainWindow::pollModeQuery);

    presenceTimer_ = new QTimer(this);
    presenceTimer_->setObjectName(QStringLiteral("Timer2"));
    presenceTimer_->setInterval(timing.presenceWatch);
    connect(presenceTimer_, &QTimer::timeout, this, &MainWindow::watchStickPresence);

    buildWindow();
}

MainWindow::~MainWindow()
{
    // The panel refers to the run state and the image: it must go before they do.
    delete panel_;
}

// Qt scales the window to the screen's resolution itself; the run state starts clear.
void MainWindow::buildWindow()
{
    eeBlock_.assign(kImageSize, 0);
    panel_ = new MainPanel(run_, eeBlock_, txSelection_, this);
    setCentralWidget(panel_);
    // The panel has one size; an enlarged window would only show blank space.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(panel_, &MainPanel::memoryNameEdited, this,
            [this](const QString& name) { memoryName_ = name.toStdString(); });
    connect(panel_, &MainPanel::txBoxClicked, this, &MainWindow::tickTxBox);
    curves_ = new DimmingCurves({.mode = run_.mode,
                                 .image = eeBlock_,
                                 .folder = findCurveFolder(processResourceFolders()),
                                 .refreshOutputSetup =
                                     [this] {
                                         if (Editor* output = editors_->builtEditor(FunctionBlock::output))
                                             output->open(eeBlock_);
                                     }},
                                *new DimmingCurvePanel(panel_), this);
    memories_ = new MemorySlots({run_, status_, eeBlock_, memoryName_, txSelection_, kept_, controlBlock_, firmware_,
                                 curves_->selectedCurve(), *panel_, *transport_, waiter_, dialogs_},
                                this);
    connect(memories_, &MemorySlots::statusChanged, this, &MainWindow::showStatus);
    connect(memories_, &MemorySlots::memoryNameChanged, this, &MainWindow::setMemoryName);
    connect(memories_, &MemorySlots::txSelectionChanged, this, [this](Byte selection) { txSelection_ = selection; });
    connect(memories_, &MemorySlots::imageChanged, this, &MainWindow::showChangedImage);
    connect(memories_, &MemorySlots::modeButtonWanted, this, &MainWindow::showModeButton);
    connect(memories_, &MemorySlots::presenceWatchWanted, this, &MainWindow::setPresenceWatch);
    connect(memories_, &MemorySlots::restartWanted, this, &MainWindow::restartProgram);
    connect(memories_, &MemorySlots::filledMemoryShown, curves_, &DimmingCurves::convertImageBack);
    connect(memories_, &MemorySlots::memoryCancelled, curves_, &DimmingCurves::memoryCancelled);
    connect(panel_, &MainPanel::actionClicked, this, &MainWindow::onAction);
    profileRequest_ = tonightAtTheCalculatorsSite();
    pdfReport_ = new PdfReport({run_, eeBlock_, *panel_, dialogs_, profileRequest_}, this);
    profileView_ = new ProfileView({run_, eeBlock_, *panel_, profileRequest_}, this);
    buildEditors();
    status_.setMode(caption::memoryMode);
    showStatus();
}

// Each editor panel lies over the main panel; the host builds it when its block is first
// clicked and opens it from there.
void MainWindow::buildEditors()
{
    editors_ = new EditorHost(
        {.remoteLayout = run_.remoteMode,
         .locked = run_.formDisabled,
         .image = eeBlock_,
         .imageEdited = [this] { showChangedImage(ImageChange::edited); },
         .scaled = [this](const QRect& design) { return panel_->scaled(design); },
         .showMessage = [this](const QString& text) { dialogs_.showMessage(text, UserDialogs::Kind::warning); },
         .blocksArea = MainPanel::kBlocksArea},
        this);
    editors_->add(FunctionBlock::output, [this] { return new OutputEditor(*curves_, panel_); });
    editors_->add(FunctionBlock::relay, [this] { return new RelayEditor(panel_); });
    editors_->add(FunctionBlock::powerOn, [this] { return new PowerOnEditor(run_.remoteMode, panel_); });
    editors_->add(FunctionBlock::blockTimer, [this] { return new BlockTimerEditor(panel_); });
    editors_->add(FunctionBlock::thermal, [this] { return new ThermalEditor(panel_); });
    editors_->add(FunctionBlock::mff, [this] { return new MffEditor(panel_); });
    editors_->add(FunctionBlock::hold, [this] { return new HoldEditor(panel_); });
    editors_->add(FunctionBlock::engine1,
                  [this] { return new DimmingEngineEditor(kEngine1Layout, run_.remoteMode, panel_); });
    editors_->add(FunctionBlock::engine2,
                  [this] { return new DimmingEngineEditor(kEngine2Layout, run_.remoteMode, panel_); });
    editors_->add(FunctionBlock::isd, [this] { return new IsdEditor(panel_); });
    connect(panel_, &MainPanel::blockClicked, editors_, &EditorHost::blockClicked);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (activated_)
        return;
    activated_ = true;
    // Runs once the window is on screen, so that the caption shows the progress.
    QMetaObject::invokeMethod(this, &MainWindow::startUp, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    stopForClose();
    QMainWindow::closeEvent(event);
}

void MainWindow::startUp()
{
    panel_->showLogo(true);
    presenceTimer_->stop();
    run_.formDisabled = true;
    run_.mode = WindowMode::starting;
    run_.options = parseCommandLine(arguments_);

    run_.remoteMode = false;
    run_.modeQueryAnswered = false;
    probe_.start(*transport_);
    if (probe_.finished()) {
        enterMode();
        return;
    }
    modeQueryTimer_->start();
}

void MainWindow::pollModeQuery()
{
    probe_.tick();
    if (probe_.phase() == ProbePhase::modeQuery)
        return;
    modeQueryTimer_->stop();
    run_.modeQueryAnswered = probe_.modeQueryAnswered();
    run_.remoteMode = probe_.remoteMode();
    enterMode();
}

void MainWindow::enterMode()
{
    presenceTimer_->stop();
    panel_->useLayout(run_.remoteMode);
    // The probe asks for the control block only when the stick is still there.
    const bool stickThere = probe_.phase() == ProbePhase::controlBlock;

    if (stickThere) {
        status_.setMode(caption::loading);
        showStatus();
        {
            BusyCursor busy;
            if (!waitForControlBlock())
                return;
        }
        switch (probe_.result()) {
        case ProbeResult::usbStickMode:
            enterUsbStickMode();
            break;
        case ProbeResult::memoryMode:
            enterMemoryMode();
            break;
        default:
            controlBlockTimedOut();
            break;
        }
    }

    if (!stickThere) {
        if (!finishDemoStartUp())
            return;
    } else {
        finishStickStartUp(probe_.result() == ProbeResult::timeOut);
    }
    presenceTimer_->start();
    curves_->startUp(run_.options.curveIndex);
    startUpFinished_ = true;
    emit startUpDone();
}

bool MainWindow::waitForControlBlock()
{
    StickSequence sequence(run_);
    while (!probe_.finished()) {
        waiter_.sleep(StickProbe::kTickPeriod);
        if (closed_)
            return false;
        if (probe_.waitCycle() % StatusLine::kCyclesPerDot == 0) {
            status_.addProgressDot();
            showStatus();
        }
        probe_.tick();
    }
    return true;
}

void MainWindow::enterUsbStickMode()
{
    run_.mode = WindowMode::usbStick;
    status_.setMode(caption::usbStick);
    showStatus();
    startLinkEngine();
    panel_->showDebugBox(run_.options.debugMode);
    showModeButton();
}

void MainWindow::enterMemoryMode()
{
    run_.mode = run_.remoteMode ? WindowMode::memoryRemote : WindowMode::memoryLocal;
    controlBlock_ = probe_.controlBlock();
    memories_->readMemories();
    status_.setMode(caption::memoryMode);
    showStatus();
    showModeButton();
}

// The memories were never read: the M buttons stay visible so that the user sees
// where the stick stands, but cannot be chosen. Plugging the stick in again lets
// the presence watch restart the program, which reads the stick afresh.
void MainWindow::controlBlockTimedOut()
{
    run_.mode = WindowMode::noAnswer;
    status_.setMode(caption::noAnswer);
    showStatus();
}

void MainWindow::showModeButton()
{
    run_.modeButtonShown = run_.modeQueryAnswered;
    QPushButton& erase = panel_->eraseButton();
    if (run_.modeButtonShown)
        erase.setText(run_.remoteMode ? QStringLiteral("Go2Loc") : QStringLiteral("Go2Rem"));
    erase.setVisible(run_.modeButtonShown);
}

bool MainWindow::finishDemoStartUp()
{
    run_.mode = WindowMode::demo;
    status_.setMode(caption::demo);
    showStatus();
    for (int round = 0; round < kDemoPauseRounds; ++round) {
        waiter_.sleep(kDemoPauseRound);
        if (closed_)
            return false;
    }
    eeBlock_ = makeDefaultImage();
    showChangedImage(ImageChange::kept);
    panel_->showFileButtons(true);
    run_.formDisabled = false;
    return true;
}

void MainWindow::finishStickStartUp(bool timedOut)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        panel_->memoryButton(n).setVisible(!run_.usbStick());
        panel_->memoryButton(n).setEnabled(!timedOut);
    }
    run_.selectedSlot = 0;
    // Without a control block there is no stick firmware version to compare with.
    if (!timedOut && (!run_.skipFirmwareCheck() || run_.usbStick()))
        checkFirmware();
    // The image is no configuration before the device has been read: the logo stays
    // over the blocks until the link shows the read image.
    if (!run_.remoteMode && run_.usbStick())
        run_.formDisabled = false;
}

void MainWindow::setPresenceWatch(bool running)
{
    if (running && !closed_ && !restartFailed_)
        presenceTimer_->start();
    else
        presenceTimer_->stop();
}

void MainWindow::watchStickPresence()
{
    const bool present = findStick(*transport_);
    if (present == run_.stickFound()) {
        if (status_.hasNotice()) {
            status_.setNotice(std::nullopt);
            showStatus();
        }
        return;
    }
    // An open editor panel or dialog decides first; the next round looks again.
    if (editors_->editing() || QApplication::activeModalWidget() != nullptr)
        return;
    if (settleUnsavedChanges(present))
        restartProgram();
}

bool MainWindow::settleUnsavedChanges(bool stickPresent)
{
    if (!kept_.hasUnsavedChanges())
        return true;
    if (status_.hasNotice())
        return false; // asked already: Save, Load or the stick's return decide now
    status_.setNotice(stickPresent ? caption::stickPlugged : caption::stickPulled);
    showStatus();
    presenceTimer_->stop();
    bool restart = false;
    switch (dialogs_.askSaveOrDiscard(text::unsavedBeforeRestart)) {
    case UserDialogs::SaveChoice::save:
        restart = saveToFile();
        break;
    case UserDialogs::SaveChoice::discard:
        restart = true;
        break;
    case UserDialogs::SaveChoice::keepEditing:
        break;
    }
    setPresenceWatch(!restart);
    return restart;
}

void MainWindow::restartProgram(bool withCurve)
{
    presenceTimer_->stop();
    QStringList arguments;
    for (const std::string& argument : restartArguments(run_.options, withCurve ? curves_->selectedIndex() : -1))
        arguments << QString::fromStdString(argument);
    process_.releaseInstance();
    if (!process_.startInstance(arguments)) {
        restartFailed_ = true;
        status_.setNotice(std::nullopt);
        status_.setMode(caption::restartFailed);
        showStatus();
        return;
    }
    process_.quit();
}

// The image and the control block go with the window; the timers stop here so that
// no restart starts from a closing window.
void MainWindow::stopForClose()
{
    closed_ = true;
    modeQueryTimer_->stop();
    presenceTimer_->stop();
    if (link_)
        link_->stop();
}

void MainWindow::showStatus()
{
    setWindowTitle(QString::fromStdString(status_.caption()));
}

void MainWindow::setMemoryName(std::string name)
{
    memoryName_ = std::move(name);
    panel_->showMemoryName(QString::fromStdString(memoryName_));
}

void MainWindow::showChangedImage(ImageChange change)
{
    applyDisplayRules(eeBlock_, run_.remoteMode);
    txSelection_ = sendableTxSelection(eeBlock_, txSelection_);
    kept_.follow(change);
    panel_->setDisplay();
}

void MainWindow::tickTxBox(Byte bit, bool ticked)
{
    txSelection_ = PutBit(txSelection_, bit, ticked);
    panel_->showTxSelection();
}

void MainWindow::onAction(Action action)
{
    switch (action) {
    case Action::memory1:
    case Action::memory2:
    case Action::memory3:
    case Action::memory4:
        memories_->chooseMemory(memoryNumber(action));
        break;
    case Action::memCancel:
        memories_->cancelMemory();
        break;
    case Action::memStore:
        memories_->transfer();
        break;
    case Action::memClear:
        memories_->askToClearMemory();
        break;
    case Action::erase:
        memories_->eraseAll();
        break;
    case Action::load:
        load();
        break;
    case Action::save:
        save();
        break;
    case Action::pdf:
        pdfReport_->open();
        break;
    case Action::profile:
        profileView_->open();
        break;
    case Action::reread:
        if (link_)
            link_->reread();
        break;
    case Action::updateFw:
        if (link_)
            link_->updateFirmware();
        break;
    }
}

void MainWindow::load()
{
    if (run_.formDisabled)
        return;
    const std::optional<QString> fileName = dialogs_.openFileName(fileDialog::openTitle, fileDialog::openFilter);
    if (!fileName)
        return;
    const FileReadResult file = readWholeFile(fileName->toStdString());
    if (!file.ok()) {
        dialogs_.showMessage(fileDialog::readFailed.arg(QString::fromStdString(file.error)),
                             UserDialogs::Kind::critical);
        return;
    }
    const ConfigLoadResult loaded = loadConfiguration(
        file.bytes, eeBlock_, {.noLoadCheck = run_.options.noLoadCheck, .copyAstro = run_.options.copyAstro});
    for (const std::string_view message : loaded.messages)
        dialogs_.showMessage(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                             UserDialogs::Kind::warning);
    switch (loaded.outcome) {
    case ConfigLoadOutcome::Loaded:
    case ConfigLoadOutcome::Corrupted:
        eeBlock_ = loaded.image;
        if (loaded.info)
            setMemoryName(*loaded.info);
        showChangedImage(ImageChange::kept);
        break;
    case ConfigLoadOutcome::Firmware:
        loadFirmwareFile(file.bytes);
        break;
    case ConfigLoadOutcome::Ignored:
    case ConfigLoadOutcome::NotRecognised:
        break;
    }
}

void MainWindow::save()
{
    if (run_.formDisabled)
        return;
    saveToFile();
}

bool MainWindow::saveToFile()
{
    std::optional<QString> fileName
        = dialogs_.saveFileName(fileDialog::saveTitle, fileDialog::saveFilter, fileDialog::suffix);
    if (!fileName)
        return false;
    if (QFileInfo(*fileName).suffix().isEmpty())
        *fileName += QLatin1Char('.') + fileDialog::suffix;
    const FileWriteResult written
        = writeFileAtomically(fileName->toStdString(), saveConfiguration(eeBlock_, memoryName_));
    if (!written.ok()) {
        dialogs_.showMessage(fileDialog::saveFailed.arg(QString::fromStdString(written.error)),
                             UserDialogs::Kind::critical);
        return false;
    }
    kept_.keepCurrent();
    return true;
}

void MainWindow::loadFirmwareFile(const std::string& fileBytes)
{
    const FirmwareFileLoad loaded = ormid::loadFirmwareFile(firmware_, fileBytes, run_.demo());
    if (loaded.message)
        dialogs_.showMessage(QString::fromStdString(*loaded.message), UserDialogs::Kind::warning);
    if (loaded.hint)
        panel_->showFirmwareIcon(QString::fromStdString(*loaded.hint));
    if (link_ && loaded.outcome == FirmwareFileLoad::Outcome::loaded)
        link_->setFirmware(firmware_);
}

void MainWindow::checkFirmware()
{
    if (!run_.usbStick())
        firmware_.stickFwVersion = stickFirmwareVersion(controlBlock_);
    if (const std::optional<std::string> hint
        = loadEmbeddedFirmware(firmware_, embeddedFirmwareContainer(), run_.usbStick()))
        panel_->showFirmwareIcon(QString::fromStdString(*hint));
    if (link_)
        link_->setFirmware(firmware_);
}

void MainWindow::useCurveFolder(const std::filesystem::path& folder)
{
    curves_->setFolder(folder);
}

// The version question compares with the built-in image, whose header is read here
// because the image itself is loaded only after the engine has started.
void MainWindow::startLinkEngine()
{
    const LinkEngineOptions options{.skipFW = run_.skipFirmwareCheck(),
                                    .embeddedFwVersion
                                    = parseFirmwareContainer(embeddedFirmwareContainer()).header.version};
    link_ = new LinkWindow({run_, status_, eeBlock_, kept_, *panel_, *transport_, dialogs_}, options, linkTick_, this);
    connect(link_, &LinkWindow::statusChanged, this, &MainWindow::showStatus);
    connect(link_, &LinkWindow::presenceWatchWanted, this, &MainWindow::setPresenceWatch);
    connect(link_, &LinkWindow::imageChanged, this, &MainWindow::showChangedImage);
    connect(memories_, &MemorySlots::usbTransferWanted, link_, &LinkWindow::transfer);
    link_->start();
}

} // namespace ormid
