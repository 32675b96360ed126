// The main window's start-up, presence watch and self-restart: in process against
// the simulated stick on a virtual clock, and end to end with ormid-programmer
// against ormid-stick-sim.

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QProgressBar>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/event_loop_waiter.h"
#include "app/qt_app.h"
#include "app/child_process.h"
#include "app/window_doubles.h"
#include "files/atomic_file.h"
#include "link/bridge_transport.h"
#include "link/control_block.h"
#include "link/stick_frames.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"
#include "sim/state_file.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using test::RecordingProcess;
using test::ScriptedDialogs;
using test::VirtualWaiter;
using test::awaitCondition;

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

const QString kNoAnswerCaption = QStringLiteral("No answer from the stick - unplug it and plug it in again");

// Records what a self-restart would do instead of doing it.
// What the window sent, and how many reads it had made before each report.
struct TrafficLog {
    std::vector<Bytes> written;
    std::vector<int> readsBefore;
    int reads = 0;
};

// Passes everything to the simulated stick and keeps the traffic log.
class LoggingTransport final : public HidTransport {
public:
    LoggingTransport(HidTransport& inner, TrafficLog& log) : inner_(inner), log_(log) {}

    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override
    {
        return inner_.findHidDevice(vendorId, productId);
    }
    Byte getInputReportLength() const override { return inner_.getInputReportLength(); }
    Byte getOutputReportLength() const override { return inner_.getOutputReportLength(); }
    Byte getFeatureReportLength() const override { return inner_.getFeatureReportLength(); }
    void writeData(ByteSpan report) override
    {
        log_.written.emplace_back(report.begin(), report.end());
        log_.readsBefore.push_back(log_.reads);
        inner_.writeData(report);
    }
    std::optional<Report> readData() override
    {
        ++log_.reads;
        return inner_.readData();
    }

private:
    HidTransport& inner_;
    TrafficLog& log_;
};

Bytes bytesOf(const MemoryCommand& command)
{
    return Bytes(command.begin(), command.end());
}

struct StickSetup {
    sim::StickConfig config;
    sim::StickState state;
    sim::Faults faults;
};

StickSetup memoryStick(bool remote)
{
    StickSetup setup;
    setup.state.remote = remote;
    const EeBlock image = makeDefaultImage();
    EXPECT_EQ(sim::presetMemory(setup.state, 2, image, "Street"), "");
    EXPECT_EQ(sim::presetFirmwareRecord(setup.state, 77, 5704), "");
    return setup;
}

StickSetup legacyStick()
{
    StickSetup setup = memoryStick(false);
    setup.config.legacy = true;
    return setup;
}

StickSetup usbStick()
{
    StickSetup setup;
    setup.config.mode = sim::StickMode::usb;
    return setup;
}

// A stick that answers nothing in time: no mode answer, no control block.
StickSetup silentStick()
{
    StickSetup setup = memoryStick(false);
    setup.faults.replyDelay = 24 * 60 * 60 * 1000;
    return setup;
}

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
    void TearDown() override
    {
        window_.reset();
        QCoreApplication::processEvents();
    }

    // Builds the window over the stick (plugged in or not), shows it and runs start-up.
    void startWindow(const StickSetup& setup, std::vector<std::string> arguments = {}, bool pluggedIn = true)
    {
        model_.emplace(setup.config, setup.faults, setup.state);
        sim_.emplace(*model_, clock_);
        sim_->setPluggedIn(pluggedIn);
        window_ = std::make_unique<MainWindow>(std::make_unique<LoggingTransport>(*sim_, traffic_),
                                               std::move(arguments), waiter_, process_, kFastTimers);
        captions_.clear();
        QObject::connect(window_.get(), &QWidget::windowTitleChanged, [this](const QString& title) {
            captions_.push_back(title);
        });
        window_->show();
        ASSERT_TRUE(runUntil([&] { return window_->startUpFinished(); })) << "start-up did not finish";
    }

    // Runs the event loop until `done` holds, at most `rounds` times.
    static bool runUntil(const std::function<bool()>& done, int rounds = 20000)
    {
        for (int i = 0; i < rounds && !done(); ++i)
            QCoreApplication::processEvents();
        return done();
    }
    static void runRounds(int rounds) { runUntil([] { return false; }, rounds); }

    QWidget* element(const char* name) const { return test::element(*window_, name); }
    bool shown(const char* name) const
    {
        QWidget* found = element(name);
        return found != nullptr && found->isVisible();
    }
    QString text(const char* name) const
    {
        auto* button = qobject_cast<QAbstractButton*>(element(name));
        return button != nullptr ? button->text() : QString();
    }
    const RunState& run() const { return window_->runState(); }
    bool presenceWatchRunning() const { return window_->findChild<QTimer*>(QStringLiteral("Timer2"))->isActive(); }

    static constexpr WindowTiming kFastTimers{0ms, 0ms};
    static constexpr const char* kMemoryButtons[] = {"bM1", "bM2", "bM3", "bM4"};

    sim::VirtualClock clock_;
    std::optional<sim::StickModel> model_;
    std::optional<sim::SimTransport> sim_;
    TrafficLog traffic_;
    std::vector<QString> captions_; // every caption the window showed during start-up and after
    RecordingProcess process_;
    VirtualWaiter waiter_{clock_};
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, MemoryModeFollowsTheModeQueryAnswer)
{
    const struct {
        const char* name;
        StickSetup stick;
        bool answered;
        bool remote;
        const char* eraseCaption; // nullptr: the Erase button stays hidden
        int polls;                // mode-query polls before the control-block request
    } cases[] = {
        {"remote C0 22 5A 79 A5", memoryStick(true), true, true, "Go2Loc", 1},
        {"local C0 22 5A 00 00", memoryStick(false), true, false, "Go2Rem", 1},
        {"no answer", legacyStick(), false, false, nullptr, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        traffic_ = {};
        startWindow(c.stick);

        // The mode query, the control block, then the data block of the one used memory, M2.
        ASSERT_EQ(traffic_.written.size(), 3u);
        EXPECT_EQ(traffic_.written[0], bytesOf(modeQueryCommand()));
        EXPECT_EQ(traffic_.written[1], bytesOf(readBlockCommand(kControlBlockAddress)));
        EXPECT_EQ(traffic_.written[2], bytesOf(readBlockCommand(dataBlockAddress(2))));
        EXPECT_EQ(traffic_.readsBefore[1], c.polls);

        ASSERT_FALSE(captions_.empty());
        EXPECT_EQ(captions_.front(), "Loading");
        EXPECT_EQ(captions_.back(), "Ormid");
        EXPECT_EQ(run().modeQueryAnswered, c.answered);
        EXPECT_EQ(run().remoteMode, c.remote);
        EXPECT_EQ(run().modeButtonShown, c.eraseCaption != nullptr);
        EXPECT_EQ(shown("bErase"), c.eraseCaption != nullptr);
        if (c.eraseCaption != nullptr) {
            EXPECT_EQ(text("bErase"), c.eraseCaption);
        }
        // The remote layout sets skipFW and offers the Tx boxes.
        EXPECT_EQ(run().skipFW, c.remote);
        EXPECT_EQ(shown("cbTxPOL"), c.remote);

        EXPECT_TRUE(run().HIDStatus);
        EXPECT_FALSE(run().demo);
        EXPECT_FALSE(run().usbStick);
        EXPECT_TRUE(run().formDisabled) << "the panel stays locked until a memory is chosen";
        for (const char* name : kMemoryButtons) {
            EXPECT_TRUE(shown(name)) << name;
            EXPECT_TRUE(element(name)->isEnabled()) << name;
        }
        EXPECT_EQ(window_->controlBlock(), sim::readStickBlock(c.stick.state, kControlBlockAddress));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(presenceWatchRunning());
        EXPECT_TRUE(process_.calls.empty());
    }
}

TEST_F(MainWindowTest, UsbStickModeUnlocksThePanelAndShowsDebugOnlyWhenAsked)
{
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "-debug" : "no arguments");
        startWindow(usbStick(), debug ? std::vector<std::string>{"-debug"} : std::vector<std::string>{});

        ASSERT_FALSE(captions_.empty());
        EXPECT_EQ(captions_.front(), "Loading");
        EXPECT_EQ(captions_.back(), "USB Stick");
        EXPECT_TRUE(run().usbStick);
        EXPECT_FALSE(run().demo);
        EXPECT_FALSE(run().formDisabled);
        EXPECT_FALSE(shown("bErase")) << "a stick in USB Stick mode does not answer the mode query";
        for (const char* name : kMemoryButtons)
            EXPECT_FALSE(shown(name)) << name;
        EXPECT_EQ(shown("cbStickDebug"), debug);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

TEST_F(MainWindowTest, DemoModeShowsTheDefaultImageAfterItsPause)
{
    struct Seen {
        QString caption;
        bool loadShown;
        EeBlock image;
    };
    std::vector<Seen> duringPause;
    waiter_.onSleep = [&] { duringPause.push_back({window_->windowTitle(), shown("bLoad"), window_->eeBlock()}); };

    startWindow(memoryStick(false), {}, false);

    ASSERT_FALSE(duringPause.empty());
    for (const Seen& seen : duringPause) {
        EXPECT_EQ(seen.caption, "Demo Mode");
        EXPECT_FALSE(seen.loadShown);
        EXPECT_EQ(seen.image, EeBlock(kImageSize, 0)) << "the default image appears after the pause";
    }
    EXPECT_EQ(captions_, std::vector<QString>{"Demo Mode"});
    EXPECT_EQ(window_->eeBlock(), makeDefaultImage());
    for (const char* name : {"bLoad", "bSave", "bPdf"})
        EXPECT_TRUE(shown(name)) << name;
    for (const char* name : kMemoryButtons)
        EXPECT_FALSE(shown(name)) << name;
    EXPECT_TRUE(run().demo);
    EXPECT_FALSE(run().HIDStatus);
    EXPECT_FALSE(run().formDisabled);
    EXPECT_TRUE(traffic_.written.empty()) << "nothing is sent without a stick";
}

// The panel has one size: the window cannot be enlarged into blank space.
TEST_F(MainWindowTest, TheWindowKeepsThePanelSize)
{
    startWindow(memoryStick(false), {}, false);
    const QSize panel = element("pLogo")->parentWidget()->size();
    window_->resize(panel.width() + 300, panel.height() + 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(window_->size(), panel);
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
}

TEST_F(MainWindowTest, ControlBlockTimeOutLocksTheMemoriesAndWaitsForAReplug)
{
    startWindow(silentStick(), {"-skipFW"});

    // One "." before every tenth of the 101 collector cycles, then the time-out.
    std::vector<QString> expected = {"Loading"};
    for (int dots = 1; dots <= 11; ++dots)
        expected.push_back("Loading" + QString(dots, '.'));
    expected.push_back(kNoAnswerCaption);
    EXPECT_EQ(captions_, expected);

    EXPECT_EQ(window_->windowTitle(), kNoAnswerCaption);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(run().formDisabled);
    for (const char* name : kMemoryButtons) {
        EXPECT_TRUE(shown(name)) << name;
        EXPECT_FALSE(element(name)->isEnabled()) << name << " must not offer a memory that was never read";
    }

    // Pulling the stick out restarts the program, which reads the stick afresh.
    sim_->setPluggedIn(false);
    ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
    EXPECT_EQ(process_.startedWith, QStringList{"-skipFW"});
}

TEST_F(MainWindowTest, PresenceChangeRestartsWithTheRestartArguments)
{
    const struct {
        const char* name;
        bool pluggedAtStart;
    } cases[] = {
        {"stick pulled out in memory mode", true},
        {"stick plugged in in demo mode", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        process_ = {};
        startWindow(memoryStick(false), {"-skipFW", "-dc=3", "-debug"}, c.pluggedAtStart);

        runRounds(50);
        EXPECT_TRUE(process_.calls.empty()) << "no restart while the stick stays as it was";

        sim_->setPluggedIn(!c.pluggedAtStart);
        ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
        runRounds(50);
        EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
        EXPECT_EQ(process_.startedWith, (QStringList{"-skipFW", "-debug"}));
    }
}

TEST_F(MainWindowTest, FailedRestartSaysSoAndDoesNotRetryForever)
{
    process_.startSucceeds = false;
    startWindow(memoryStick(false));
    sim_->setPluggedIn(false);
    ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
    runRounds(50);

    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start"}));
    EXPECT_EQ(window_->windowTitle(), "Restart failed - please start the program again");
    EXPECT_FALSE(presenceWatchRunning());
}

TEST_F(MainWindowTest, ClosingDuringTheDemoPauseEndsStartUp)
{
    int sleeps = 0;
    waiter_.onSleep = [&] {
        if (++sleeps == 1)
            window_->close();
    };
    model_.emplace(sim::StickConfig{}, sim::Faults{}, sim::StickState{});
    sim_.emplace(*model_, clock_);
    sim_->setPluggedIn(false);
    window_ = std::make_unique<MainWindow>(std::make_unique<LoggingTransport>(*sim_, traffic_),
                                           std::vector<std::string>{}, waiter_, process_, kFastTimers);
    window_->show();
    runRounds(200);

    EXPECT_EQ(sleeps, 1);
    EXPECT_FALSE(window_->startUpFinished());
    EXPECT_FALSE(presenceWatchRunning());
    EXPECT_TRUE(process_.calls.empty());
}

// ---------------------------------------------------------------------------
// End to end: ormid-programmer against ormid-stick-sim, two real processes.

const std::string kBinDir = ORMID_BIN_DIR;

bool processGone(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return true;
    // A detached process whose parent has ended may linger as a zombie until reaped.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// Ends a process (SIGTERM, then SIGKILL); reaps it when it is our child.
void endProcess(pid_t pid, bool child)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (true) {
        if (child ? ::waitpid(pid, nullptr, WNOHANG) == pid : processGone(pid))
            return;
        if (std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    if (child)
        ::waitpid(pid, nullptr, 0);
}

struct Status {
    pid_t pid = -1;
    std::string mode;
    std::string arguments;
};

std::optional<Status> readStatus(const fs::path& file)
{
    const FileReadResult read = readWholeFile(file);
    if (!read.ok())
        return std::nullopt;
    std::istringstream line(read.bytes);
    Status status;
    line >> status.pid >> status.mode;
    std::getline(line, status.arguments);
    return status;
}

class ProgrammerEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ormid-window-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::chmod(folder_.c_str(), 0700);
    }
    void TearDown() override
    {
        if (const std::optional<Status> status = readStatus(statusFile()); status && status->pid != programmer_)
            endProcess(status->pid, false);
        endProcess(programmer_, true);
        endProcess(simulator_, true);
        fs::remove_all(folder_);
    }

    fs::path statusFile() const { return folder_ / "status"; }
    std::string output() const { return readWholeFile(folder_ / "output").bytes; }

    fs::path folder_;
    pid_t simulator_ = -1;
    pid_t programmer_ = -1;
};

TEST_F(ProgrammerEndToEnd, PullingTheStickOutRestartsTheProgramInDemoMode)
{
    const fs::path socket = folder_ / "stick.sock";
    simulator_ = test::spawnProcess(kBinDir + "/ormid-stick-sim", {"--socket", socket.string(), "--mode", "memory"}, {},
                       folder_ / "output");
    ASSERT_GT(simulator_, 0);
    ASSERT_TRUE(awaitCondition([&] { return fs::is_socket(socket); })) << output();

    // The instance guard's lock lives in the temporary folder: a folder of the test's
    // own keeps it apart from any other programmer on this machine.
    const std::map<std::string, std::string> environment = {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"ORMID_HID_BRIDGE", socket.string()},
        {"ORMID_STATUS_FILE", statusFile().string()},
        {"TMPDIR", folder_.string()},
        {"XDG_RUNTIME_DIR", folder_.string()},
    };
    programmer_ = test::spawnProcess(kBinDir + "/ormid-programmer", {"-skipFW", "-dc=2"}, environment, folder_ / "output");
    ASSERT_GT(programmer_, 0);
    ASSERT_TRUE(awaitCondition([&] {
        const std::optional<Status> status = readStatus(statusFile());
        return status && status->pid == programmer_;
    })) << output();
    const Status first = *readStatus(statusFile());
    EXPECT_EQ(first.mode, "memory");
    EXPECT_EQ(first.arguments, " -skipFW");

    endProcess(simulator_, true);
    simulator_ = -1;

    int exitStatus = -1;
    ASSERT_TRUE(awaitCondition([&] { return ::waitpid(programmer_, &exitStatus, WNOHANG) == programmer_; }))
        << "the first run did not end\n" << output();
    programmer_ = -1;
    EXPECT_TRUE(WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0) << output();

    ASSERT_TRUE(awaitCondition([&] {
        const std::optional<Status> status = readStatus(statusFile());
        return status && status->pid != first.pid;
    })) << "no restarted run reported\n" << output();
    const Status restarted = *readStatus(statusFile());
    EXPECT_EQ(restarted.mode, "demo");
    EXPECT_EQ(restarted.arguments, " -skipFW") << "the curve index crosses only a Transfer restart";
    EXPECT_FALSE(processGone(restarted.pid));
}

// The window in this process, the stick in a real simulator process over the socket:
// a Transfer, the restart it asks for (a new window, as the new run), and that run
// finds the memory on the stick.
TEST_F(ProgrammerEndToEnd, TransferIsFoundByTheRunAfterTheRestart)
{
    test::qtApp();
    const fs::path socket = folder_ / "stick.sock";
    simulator_ = test::spawnProcess(kBinDir + "/ormid-stick-sim",
                       {"--socket", socket.string(), "--mode", "memory", "--state", (folder_ / "state").string()}, {},
                       folder_ / "output");
    ASSERT_GT(simulator_, 0);
    ASSERT_TRUE(awaitCondition([&] { return fs::is_socket(socket); })) << output();

    EventLoopWaiter waiter;
    const auto startRun = [&](RecordingProcess& process) {
        auto window = std::make_unique<MainWindow>(std::make_unique<BridgeTransport>(socket.string()),
                                                   std::vector<std::string>{"-skipFW"}, waiter, process);
        window->show();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!window->startUpFinished() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
        return window;
    };
    const auto element = [](MainWindow& window, const char* name) { return test::element(window, name); };

    RecordingProcess firstProcess;
    auto first = startRun(firstProcess);
    ASSERT_TRUE(first->startUpFinished()) << output();
    ASSERT_EQ(first->windowTitle(), "Ormid");
    test::press(*first, "bM2");
    static_cast<QLineEdit*>(element(*first, "eInfo"))->setText("Corner");
    test::press(*first, "bMemStore");
    EXPECT_EQ(firstProcess.calls, (std::vector<std::string>{"release", "start", "quit"})) << output();
    first.reset();

    RecordingProcess secondProcess;
    auto second = startRun(secondProcess);
    ASSERT_TRUE(second->startUpFinished()) << output();
    EXPECT_EQ(element(*second, "bM2")->toolTip(), QStringLiteral("Info: Corner  "));
    test::press(*second, "bM2");
    EXPECT_EQ(static_cast<QLineEdit*>(element(*second, "eInfo"))->text(), "Corner  ");
    const EeBlock defaultImage = makeDefaultImage(); // M2 was empty: the default image went to the stick
    EXPECT_TRUE(std::equal(defaultImage.begin(), defaultImage.begin() + kStoredImageBytes, second->eeBlock().begin()));
    EXPECT_TRUE(secondProcess.calls.empty());
}


// Window events until `done` holds, at most two minutes (a firmware update takes
// 24 s at the link's pace, longer in a sanitizer build under load).
bool processEventsUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
    return done();
}

// The window in this process, an Ormid behind a real simulator process in USB Stick
// mode, the link at its real 100 ms pace: start-up reads the device, "Yes" to the
// version question updates its firmware page by page, "ReRead" finds the new
// version, "Transfer" writes the image and the read that follows gets it back.
TEST_F(ProgrammerEndToEnd, UsbStickReadUpdateAndWriteAgainstTheSimulator)
{
    test::qtApp();
    const fs::path socket = folder_ / "stick.sock";
    const fs::path stateFile = folder_ / "state";
    simulator_ = test::spawnProcess(kBinDir + "/ormid-stick-sim",
                       {"--socket", socket.string(), "--mode", "usb", "--device-id", "0A1B2C3D", "--device-fw", "70",
                        "--state", stateFile.string()},
                       {}, folder_ / "output");
    ASSERT_GT(simulator_, 0);
    ASSERT_TRUE(awaitCondition([&] { return fs::is_socket(socket); })) << output();

    EventLoopWaiter waiter;
    RecordingProcess process;
    ScriptedDialogs dialogs;
    dialogs.answers = {UserDialogs::Answer::yes};
    MainWindow window(std::make_unique<BridgeTransport>(socket.string()), {}, waiter, process, {}, &dialogs);
    window.show();
    const auto element = [&](const char* name) { return test::element(window, name); };
    const auto caption = [&] { return window.windowTitle().toStdString(); };
    const auto engine = [&]() -> const LinkEngine& { return window.link()->engine(); };

    ASSERT_TRUE(processEventsUntil([&] { return window.startUpFinished(); })) << output();
    ASSERT_NE(window.link(), nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return engine().imageRead(); })) << caption() << "\n" << output();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions.front().contains("(1.70)"));
    EXPECT_EQ(dialogs.warningPositions, std::vector<QPoint>{QPoint(400, 350)});

    auto* progress = static_cast<QProgressBar*>(element("pbFWUpdate"));
    int shownPages = 0;
    ASSERT_TRUE(processEventsUntil([&] {
        if (progress->isVisible())
            shownPages = std::max(shownPages, progress->value());
        return caption().ends_with("->FW Update finished.");
    })) << caption() << "\n" << output();
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 0A1B2C3D, FW 1.70            Ready...->FW Update finished.");
    EXPECT_GE(shownPages, 70) << "the bar follows the pages";
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(window.runState().formDisabled);

    // After its Reset the device announces the new version; ReRead shows it.
    ASSERT_TRUE(processEventsUntil([&] { return engine().identification().firmware == 77; })) << output();
    test::press(window, "bReread");
    ASSERT_TRUE(processEventsUntil([&] { return caption().ends_with("Ready..."); })) << caption();
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 0A1B2C3D, FW 1.77            Ready...");
    EXPECT_EQ(dialogs.questions.size(), 1u) << "the device now runs the built-in version";

    const EeBlock before = window.eeBlock();
    ASSERT_EQ(before.size(), 256u);
    dialogs.answers = {UserDialogs::Answer::yes, UserDialogs::Answer::yes};
    test::press(window, "bMemClear"); // the default settings, FF beyond them
    const EeBlock written = window.eeBlock();
    ASSERT_FALSE(std::equal(written.begin(), written.begin() + 250, before.begin())) << "the write must change something";
    test::press(window, "bMemStore");
    ASSERT_TRUE(processEventsUntil([&] { return caption().ends_with("->Transfer finished."); })) << caption();

    const sim::StateFileResult device = sim::loadStickState(stateFile);
    ASSERT_TRUE(device.ok()) << device.error;
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, device.state.deviceMemory.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 250, before.end(), device.state.deviceMemory.begin() + 250))
        << "the counters are the device's own";

    // The device's next identification starts a read, which finds what was written.
    ASSERT_TRUE(processEventsUntil([&] { return caption().ends_with("Ready..."); })) << caption();
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, window.eeBlock().begin()));
    EXPECT_TRUE(process.calls.empty()) << "USB Stick mode writes without a restart";
}

} // namespace
} // namespace ormid
