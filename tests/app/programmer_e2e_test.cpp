// The main window end to end: ormid-programmer against ormid-stick-sim, two real
// processes, and the window in this process against a real simulator process over
// its socket. (The same window in process, on a virtual clock: main_window_test.cpp.)

#include "app/main_window.h"
#include "editors/output/dimming_curves.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

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

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/child_process.h"
#include "app/event_loop_waiter.h"
#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/bridge_transport.h"
#include "sim/state_file.h"

namespace ormid {
namespace {

using test::awaitCondition;
using test::RecordingProcess;
using test::ScriptedDialogs;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

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
    // A window in this process on the simulator at `socket`, its start-up run (at most a minute).
    std::unique_ptr<MainWindow> startWindow(const fs::path& socket, RecordingProcess& process,
                                            std::vector<std::string> arguments)
    {
        auto window = std::make_unique<MainWindow>(std::make_unique<BridgeTransport>(socket.string()),
                                                   std::move(arguments), waiter_, process);
        window->show();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!window->startUpFinished() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(5ms);
        }
        return window;
    }
    std::string output() const { return readWholeFile(folder_ / "output").bytes; }

    fs::path folder_;
    EventLoopWaiter waiter_;
    pid_t simulator_ = -1;
    pid_t programmer_ = -1;
};

TEST_F(ProgrammerEndToEnd, PullingTheStickOutRestartsTheProgramInDemoMode)
{
    const fs::path socket = folder_ / "stick.sock";
    simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim",
                                    {"--socket", socket.string(), "--mode", "memory"}, {}, folder_ / "output");
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
    programmer_ = test::spawnProcess(test::kBinDir + "/ormid-programmer", {"-skipFW", "-dc=2"}, environment,
                                     folder_ / "output");
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
        << "the first run did not end\n"
        << output();
    programmer_ = -1;
    EXPECT_TRUE(WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0) << output();

    ASSERT_TRUE(awaitCondition([&] {
        const std::optional<Status> status = readStatus(statusFile());
        return status && status->pid != first.pid;
    })) << "no restarted run reported\n"
        << output();
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
    simulator_
        = test::spawnProcess(test::kBinDir + "/ormid-stick-sim",
                             {"--socket", socket.string(), "--mode", "memory", "--state", (folder_ / "state").string()},
                             {}, folder_ / "output");
    ASSERT_GT(simulator_, 0);
    ASSERT_TRUE(awaitCondition([&] { return fs::is_socket(socket); })) << output();

    const auto startRun = [&](RecordingProcess& process) { return startWindow(socket, process, {"-skipFW"}); };
    const auto element = [](MainWindow& window, const char* name) { return test::element(window, name); };

    RecordingProcess firstProcess;
    auto first = startRun(firstProcess);
    ASSERT_TRUE(first->startUpFinished()) << output();
    ASSERT_EQ(first->windowTitle(), "Ormid");
    test::press(*first, "bM2");
    test::typeInto(*first, "eInfo", "Corner");
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

// The sample curves beside the programs, a real simulator process: choose the
// square-law curve, "Transfer"; the stick holds the levels the curve gives, and the
// run after the restart selects the curve again and shows the levels converted back.
TEST_F(ProgrammerEndToEnd, ADimmingCurveConvertsOnTransferAndCrossesTheRestart)
{
    test::qtApp();
    const fs::path socket = folder_ / "stick.sock";
    simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim",
                                    {"--socket", socket.string(), "--mode", "memory"}, {}, folder_ / "output");
    ASSERT_GT(simulator_, 0);
    ASSERT_TRUE(awaitCondition([&] { return fs::is_socket(socket); })) << output();

    RecordingProcess firstProcess;
    auto first = startWindow(socket, firstProcess, {"-skipFW"});
    ASSERT_TRUE(first->startUpFinished()) << output();
    ASSERT_TRUE(first->curves().available()) << "the build puts the sample curves beside the programs";
    test::press(*first, "bM2");
    test::press(*first, "lMinLevel");
    test::press(*first, "cbDC");
    auto* curves = static_cast<QListWidget*>(test::element(*first, "lbDimmingCurve"));
    ASSERT_EQ(curves->item(2)->text(), "square-law.dc");
    QTest::keyClick(curves, Qt::Key_Down);
    QTest::keyClick(curves, Qt::Key_Down);
    test::press(*first, "bDCOk");
    // The default minimum level 0 is what the curve gives for inputs 0..7: it reads as 7.
    EXPECT_EQ(first->eeBlock()[field::minLevel], 7);
    test::press(*first, "bOutput_OK");
    test::press(*first, "bMemStore");
    ASSERT_EQ(firstProcess.calls, (std::vector<std::string>{"release", "start", "quit"})) << output();
    EXPECT_EQ(firstProcess.startedWith, (QStringList{"-skipFW", "-dc=2"}));
    first.reset();

    const fs::path saved = folder_ / "m2.kdc";
    const pid_t reader = test::spawnProcess(test::kBinDir + "/ormid-cli", {"stick", "read", "M2", "-o", saved.string()},
                                            {{"ORMID_HID_BRIDGE", socket.string()}}, folder_ / "output");
    ASSERT_EQ(test::awaitExit(reader), 0) << output();
    const ConfigLoadResult stored = loadConfiguration(readWholeFile(saved).bytes, makeDefaultImage(), {});
    ASSERT_EQ(stored.outcome, ConfigLoadOutcome::Loaded) << output();
    EXPECT_EQ(stored.image[field::minLevel], 0) << "the stick holds the level the curve gives for 7";
    EXPECT_EQ(stored.image[field::powerOnLevel], 100);

    RecordingProcess secondProcess;
    std::vector<std::string> arguments;
    for (const QString& argument : firstProcess.startedWith)
        arguments.push_back(argument.toStdString());
    auto second = startWindow(socket, secondProcess, arguments);
    ASSERT_TRUE(second->startUpFinished()) << output();
    EXPECT_EQ(second->curves().selectedIndex(), 2);
    test::press(*second, "bM2");
    EXPECT_EQ(second->eeBlock()[field::minLevel], 7);
    test::press(*second, "lMinLevel");
    EXPECT_EQ(static_cast<QCheckBox*>(test::element(*second, "cbDC"))->text(), "square-law");
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
    simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim",
                                    {"--socket", socket.string(), "--mode", "usb", "--device-id", "0A1B2C3D",
                                     "--device-fw", "70", "--state", stateFile.string()},
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
    })) << caption()
        << "\n"
        << output();
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 0A1B2C3D, FW 1.77            Ready...->FW Update finished.")
        << "the caption names the firmware the device announced after the update";
    EXPECT_GE(shownPages, 70) << "the bar follows the pages";
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(window.runState().formDisabled);

    // ReRead keeps the new version in the caption.
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
    ASSERT_FALSE(std::equal(written.begin(), written.begin() + 250, before.begin()))
        << "the write must change something";
    test::press(window, "bMemStore");
    ASSERT_TRUE(processEventsUntil([&] { return caption().ends_with("->Transfer finished."); })) << caption();

    const sim::StateFileResult device = sim::loadStickState(stateFile);
    ASSERT_TRUE(device.ok()) << device.error;
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, device.state.deviceMemory.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 250, before.end(), device.state.deviceMemory.begin() + 250))
        << "the counters are the device's own";

    // The device's next identification starts a read, which finds what was written.
    ASSERT_TRUE(processEventsUntil([&] { return caption().ends_with("->Transfer verified."); })) << caption();
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 0A1B2C3D, FW 1.77            Ready...  ->Transfer verified.");
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, window.eeBlock().begin()));
    EXPECT_TRUE(process.calls.empty()) << "USB Stick mode writes without a restart";
}

} // namespace
} // namespace ormid
