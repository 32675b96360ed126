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
const QString memoryMode = QStringLiteral("Ormid");
const QString loading = QStringLiteral("Loading");
const QString usbStick = QStringLiteral("USB Stick");
const QString demo = QStringLiteral("Demo Mode");
const QString noAnswer = QStringLiteral("No answer from the stick - unplug it and plug it in again");
const QString restartFailed = QStringLiteral("Restart failed - please start the program again");
const QString stickPulled
    = QStringLiteral("The stick was pulled out; save your configuration or plug the stick in again");
const QString stickPlugged
    = QStringLiteral("A stick was plugged in; save your configuration or pull the stick out again");
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

constexpr int kDotEvery = 10;        // control-block wait cycles per "."
constexpr int kDemoPauseRounds = 20; // the demo image appears after 20 x 100 ms
constexpr std::chrono::milliseconds kDemoPauseRound{100};

} // namespace

MainWindow::MainWindow(std::unique_ptr<HidTransport> transport, std::vector<std::string> arguments, Waiter& waiter,
                       ProcessControl& process, WindowTiming timing, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), kept_(eeBlock_, [this] { return panel_->infoField().text().toStdString(); }),
      transport_(std::move(transport)), arguments_(std::move(arguments)), waiter_(waiter), process_(process),
      ownDialogs_(dialogs == nullptr ? std::make_unique<SystemUserDialogs>(*this) : nullptr),
      dialogs_(dialogs == nullptr ? *ownDialogs_ : *dialogs), linkTick_(timing.linkTick)
{
    timer4_ = new QTimer(this);
    timer4_->setObjectName(QStringLiteral("Timer4"));
    timer4_->setInterval(timing.modeQueryPoll);
    connect(timer4_, &QTimer::timeout, this, &MainWindow::Timer4Timer);

    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(timing.presenceWatch);
    connect(timer2_, &QTimer::timeout, this, &MainWindow::Timer2Timer);

    FormCreate();
}

MainWindow::~MainWindow()
{
    // The panel refers to the run state and the image: it must go before they do.
    delete panel_;
}

// Qt scales the window to the screen's resolution itself; the run flags start clear.
void MainWindow::FormCreate()
{
    eeBlock_.assign(kImageSize, 0);
    panel_ = new MainPanel(run_, eeBlock_, this);
    setCentralWidget(panel_);
    // The panel has one size; an enlarged window would only show blank space.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    curves_ = new DimmingCurves({.run = run_,
                                 .image = eeBlock_,
                                 .folder = findCurveFolder(processResourceFolders()),
                                 .setOutput =
                                     [this] {
                                         if (Editor* output = editors_->builtEditor(FunctionBlock::output))
                                             output->open(eeBlock_);
                                     }},
                                *new DimmingCurvePanel(panel_), this);
    MemoryWindowHooks hooks{
        .appendDotToCaption = [this] { appendToCaption(QStringLiteral(".")); },
        .showModeButton = [this] { showModeButton(); },
        .presenceWatch = [this](bool running) { setPresenceWatch(running); },
        .restart = [this](bool withCurve) { restartProgram(withCurve); },
        .storeUSBStick = [this] { link_->storeUSBStick(); },
        .invCorrectDC = [this] { curves_->invCorrectDC(); },
        .curveOff = [this] { curves_->memoryCancelled(); },
    };
    memories_
        = new MemorySlots({run_, eeBlock_, kept_, controlBlock_, firmware_, *panel_, *transport_, waiter_, dialogs_},
                          std::move(hooks), this);
    connect(panel_, &MainPanel::actionClicked, this, &MainWindow::onAction);
    profileRequest_ = tonightAtTheCalculatorsSite();
    pdfReport_ = new PdfReport({run_, eeBlock_, *panel_, dialogs_, profileRequest_}, this);
    profileView_ = new ProfileView({run_, eeBlock_, *panel_, profileRequest_}, this);
    buildEditors();
    setWindowTitle(caption::memoryMode);
}

// Each editor panel lies over the main panel; the host builds it when its block is first
// clicked and opens it from there.
void MainWindow::buildEditors()
{
    editors_ = new EditorHost(
        {.run = run_,
         .image = eeBlock_,
         .redraw = [this] { panel_->setDisplay(); },
         .scaled = [this](const QRect& design) { return panel_->scaled(design); },
         .showMessage = [this](const QString& text) { dialogs_.showMessage(text, UserDialogs::Kind::warning); },
         .blocksArea = MainPanel::kBlocksArea},
        this);
    editors_->add(FunctionBlock::output, [this] { return new OutputEditor(run_, *curves_, panel_); });
    editors_->add(FunctionBlock::relay, [this] { return new RelayEditor(panel_); });
    editors_->add(FunctionBlock::powerOn, [this] { return new PowerOnEditor(run_, panel_); });
    editors_->add(FunctionBlock::blockTimer, [this] { return new BlockTimerEditor(panel_); });
    editors_->add(FunctionBlock::thermal, [this] { return new ThermalEditor(panel_); });
    editors_->add(FunctionBlock::mff, [this] { return new MffEditor(panel_); });
    editors_->add(FunctionBlock::hold, [this] { return new HoldEditor(panel_); });
    editors_->add(FunctionBlock::engine1, [this] { return new DimmingEngineEditor(kEngine1Layout, run_, panel_); });
    editors_->add(FunctionBlock::engine2, [this] { return new DimmingEngineEditor(kEngine2Layout, run_, panel_); });
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
    QMetaObject::invokeMethod(this, &MainWindow::FormActivate, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void MainWindow::FormActivate()
{
    panel_->showLogo(true);
    timer2_->stop();
    run_.formDisabled = true;
    run_.demo = true;
    parseCommandLine(arguments_, run_);

    run_.remoteMode = false;
    run_.modeQueryAnswered = false;
    probe_.start(*transport_);
    if (probe_.finished()) {
        FormActivate2();
        return;
    }
    timer4_->start();
}

void MainWindow::Timer4Timer()
{
    probe_.tick();
    if (probe_.phase() == ProbePhase::modeQuery)
        return;
    timer4_->stop();
    run_.modeQueryAnswered = probe_.modeQueryAnswered();
    run_.remoteMode = probe_.remoteMode();
    FormActivate2();
}

void MainWindow::FormActivate2()
{
    timer2_->stop();
    panel_->moveGr(run_.remoteMode);
    // The probe asks for the control block only when the stick is still there.
    run_.HIDStatus = probe_.phase() == ProbePhase::controlBlock;

    if (run_.HIDStatus) {
        setWindowTitle(caption::loading);
        run_.demo = false;
        run_.usbStick = false;
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

    if (run_.demo) {
        if (!finishDemoStartUp())
            return;
    } else {
        finishStickStartUp(probe_.result() == ProbeResult::timeOut);
    }
    timer2_->start();
    curves_->startUp();
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
        if (probe_.waitCycle() % kDotEvery == 0)
            appendToCaption(QStringLiteral("."));
        probe_.tick();
    }
    return true;
}

void MainWindow::enterUsbStickMode()
{
    run_.usbStick = true;
    setWindowTitle(caption::usbStick);
    startLinkEngine();
    panel_->showDebugBox(run_.debugMode);
    showModeButton();
}

void MainWindow::enterMemoryMode()
{
    controlBlock_ = probe_.controlBlock();
    readMemories();
    setWindowTitle(caption::memoryMode);
    showModeButton();
}

// The memories were never read: the M buttons stay visible so that the user sees
// where the stick stands, but cannot be chosen. Plugging the stick in again lets
// the presence watch restart the program, which reads the stick afresh.
void MainWindow::controlBlockTimedOut()
{
    setWindowTitle(caption::noAnswer);
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
    setWindowTitle(caption::demo);
    for (int round = 0; round < kDemoPauseRounds; ++round) {
        waiter_.sleep(kDemoPauseRound);
        if (closed_)
            return false;
    }
    eeBlock_ = makeDefaultImage();
    panel_->setDisplay();
    kept_.keepCurrent();
    panel_->showFileButtons(true);
    run_.formDisabled = false;
    return true;
}

void MainWindow::finishStickStartUp(bool timedOut)
{
    for (int n = 1; n <= kMemoryCount; ++n) {
        panel_->memoryButton(n).setVisible(!run_.usbStick);
        panel_->memoryButton(n).setEnabled(!timedOut);
    }
    run_.selectedSlot = 0;
    // Without a control block there is no stick firmware version to compare with.
    if (!timedOut && (!run_.skipFW || run_.usbStick))
        checkFirmware();
    // The image is no configuration before the device has been read: the logo stays
    // over the blocks until the link shows the read image.
    if (!run_.remoteMode && run_.usbStick)
        run_.formDisabled = false;
}

void MainWindow::setPresenceWatch(bool running)
{
    if (running && !closed_ && !restartFailed_)
        timer2_->start();
    else
        timer2_->stop();
}

void MainWindow::Timer2Timer()
{
    const bool present = checkHID();
    if (present == run_.HIDStatus) {
        if (captionBeforeStickChange_)
            setWindowTitle(*std::exchange(captionBeforeStickChange_, std::nullopt));
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
    if (captionBeforeStickChange_)
        return false; // asked already: Save, Load or the stick's return decide now
    captionBeforeStickChange_ = windowTitle();
    setWindowTitle(stickPresent ? caption::stickPlugged : caption::stickPulled);
    timer2_->stop();
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
    timer2_->stop();
    QStringList arguments;
    for (const std::string& argument : restartArguments(run_, withCurve))
        arguments << QString::fromStdString(argument);
    process_.releaseInstance();
    if (!process_.startInstance(arguments)) {
        restartFailed_ = true;
        setWindowTitle(caption::restartFailed);
        return;
    }
    process_.quit();
}

// The image and the control block go with the window; the timers stop here so that
// no restart starts from a closing window.
void MainWindow::FormClose()
{
    closed_ = true;
    timer4_->stop();
    timer2_->stop();
    if (link_)
        link_->stop();
}

bool MainWindow::checkHID()
{
    return transport_->findHidDevice(kStickVendorId, kStickProductId);
}

void MainWindow::appendToCaption(const QString& text)
{
    setWindowTitle(windowTitle() + text);
}

void MainWindow::readMemories()
{
    memories_->readMemories();
}

void MainWindow::onAction(const QString& elementName)
{
    using Handler = std::function<void()>;
    const std::pair<const char*, Handler> handlers[] = {
        {"bM1", [this] { memories_->bMClick(1); }},
        {"bM2", [this] { memories_->bMClick(2); }},
        {"bM3", [this] { memories_->bMClick(3); }},
        {"bM4", [this] { memories_->bMClick(4); }},
        {"bMemCancel", [this] { memories_->bMemCancelClick(); }},
        {"bMemStore", [this] { memories_->bMemStoreClick(); }},
        {"bMemClear", [this] { memories_->bMemClearClick(); }},
        {"bErase", [this] { memories_->bEraseClick(); }},
        {"bLoad", [this] { bLoadClick(); }},
        {"bSave", [this] { bSaveClick(); }},
        {"bPdf", [this] { pdfReport_->bPdfClick(); }},
        {"bProfile", [this] { profileView_->bProfileClick(); }},
        {"bReread",
         [this] {
             if (link_)
                 link_->bRereadClick();
         }},
        {"bUpdateFw",
         [this] {
             if (link_)
                 link_->bUpdateFwClick();
         }},
    };
    for (const auto& [name, handler] : handlers) {
        if (elementName == QLatin1String(name)) {
            handler();
            return;
        }
    }
}

void MainWindow::bLoadClick()
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
    const ConfigLoadResult loaded = loadAndRedraw(
        file.bytes, eeBlock_, {.noLoadCheck = run_.noLoadCheck, .copyAstro = run_.copyAstro}, run_.remoteMode);
    for (const std::string_view message : loaded.messages)
        dialogs_.showMessage(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())),
                             UserDialogs::Kind::warning);
    switch (loaded.outcome) {
    case ConfigLoadOutcome::Loaded:
    case ConfigLoadOutcome::Corrupted:
        eeBlock_ = loaded.image;
        if (loaded.info)
            panel_->infoField().setText(QString::fromStdString(*loaded.info));
        panel_->setDisplay();
        kept_.keepCurrent();
        break;
    case ConfigLoadOutcome::Firmware:
        loadFirmwareFile(file.bytes);
        break;
    case ConfigLoadOutcome::Ignored:
    case ConfigLoadOutcome::NotRecognised:
        break;
    }
}

void MainWindow::bSaveClick()
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
    const FileWriteResult written = writeFileAtomically(
        fileName->toStdString(), saveConfiguration(eeBlock_, panel_->infoField().text().toStdString()));
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
    const FirmwareFileLoad loaded = ormid::loadFirmwareFile(firmware_, fileBytes, run_.demo);
    if (loaded.message)
        dialogs_.showMessage(QString::fromStdString(*loaded.message), UserDialogs::Kind::warning);
    if (loaded.hint)
        panel_->showFirmwareIcon(QString::fromStdString(*loaded.hint));
    if (link_ && loaded.outcome == FirmwareFileLoad::Outcome::loaded)
        link_->setFirmware(firmware_);
}

void MainWindow::checkFirmware()
{
    if (!run_.usbStick)
        firmware_.stickFwVersion = stickFirmwareVersion(controlBlock_);
    if (const std::optional<std::string> hint = loadRes(firmware_, embeddedFirmwareContainer(), run_.usbStick))
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
    const LinkEngineOptions options{
        .skipFW = run_.skipFW, .embeddedFwVersion = parseFirmwareContainer(embeddedFirmwareContainer()).header.version};
    link_ = new LinkWindow({*this, run_, eeBlock_, kept_, *panel_, *transport_, dialogs_,
                            [this](bool running) { setPresenceWatch(running); }},
                           options, linkTick_, this);
    link_->start();
}

} // namespace ormid
