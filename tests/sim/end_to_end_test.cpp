// The real executables over a real socket: ormid-stick-sim started as a process,
// ormid-cli (or a BridgeTransport in the test) talking to it through ORMID_HID_BRIDGE.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/child_process.h"
#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/block_collector.h"
#include "link/bridge_transport.h"
#include "link/stick_frames.h"

extern char** environ;

namespace ormid {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct ProcessRun {
    int code = -1;
    std::string out;
    std::string err;
};

// One ormid-stick-sim process; stopped (SIGTERM, then SIGKILL if it hangs) at the latest
// when the object goes.
class Simulator {
public:
    Simulator(const fs::path& socket, const fs::path& output, std::vector<std::string> options) : socket_(socket)
    {
        std::vector<std::string> args = {test::kBinDir + "/ormid-stick-sim", "--socket", socket.string()};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            throw std::runtime_error("cannot start ormid-stick-sim");
    }
    ~Simulator() { stop(); }

    // True once the socket is there; false when the process ended or took too long.
    bool awaitSocket()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (fs::is_socket(socket_))
                return true;
            if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    // Ends the simulator as Ctrl-C would; its exit code, -1 when it had to be killed.
    int stop()
    {
        if (pid_ <= 0)
            return exitCode();
        ::kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 3s;
        while (::waitpid(pid_, &status_, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status_, 0);
                status_ = -1;
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        pid_ = -1;
        return exitCode();
    }

private:
    int exitCode() const { return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

    fs::path socket_;
    pid_t pid_ = -1;
    int status_ = -1;
};

class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ormid-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        socket_ = folder_ / "stick.sock";
    }
    void TearDown() override
    {
        simulator_.reset();
        fs::remove_all(folder_);
    }

    // Starts the simulator on the test's socket; its output goes to sim.out.
    void startSimulator(std::vector<std::string> options)
    {
        simulator_.reset();
        simulator_.emplace(socket_, folder_ / "sim.out", std::move(options));
        ASSERT_TRUE(simulator_->awaitSocket()) << read("sim.out");
    }
    int stopSimulator() { return simulator_->stop(); }

    // Runs an executable of the build with `environment` prepended, capturing its output.
    ProcessRun run(const std::string& program, const std::string& arguments, const std::string& environment = {})
    {
        const fs::path out = folder_ / "run.out";
        const fs::path err = folder_ / "run.err";
        const std::string command = environment + " '" + test::kBinDir + "/" + program + "' " + arguments + " >'"
            + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read("run.out"), read("run.err")};
    }
    ProcessRun stickStatus() { return run("ormid-cli", "stick status", "ORMID_HID_BRIDGE='" + socket_.string() + "'"); }

    std::string put(const std::string& name, std::string_view bytes)
    {
        EXPECT_TRUE(writeFileAtomically(folder_ / name, bytes).ok());
        return (folder_ / name).string();
    }
    std::string read(const std::string& name) const { return readWholeFile(folder_ / name).bytes; }

    fs::path folder_;
    fs::path socket_;
    std::optional<Simulator> simulator_;
};

bool contains(const std::string& text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(EndToEnd, StickStatusShowsThePresetMemoriesAndFirmware)
{
    const std::string street = put("street.kdc", saveConfiguration(makeDefaultImage(), "Street"));
    startSimulator({"--mode", "memory", "--preset", "M1=" + street, "--preset", "M3=" + street + ":Lamp 3",
                    "--preset-firmware", "77:5704", "--log"});

    const ProcessRun status = stickStatus();
    EXPECT_EQ(status.code, 0) << status.err;
    EXPECT_EQ(status.out,
              "memory mode, local stick\n"
              "M1: Street\n"
              "M2: empty\n"
              "M3: Lamp 3\n"
              "M4: empty\n"
              "Firmware: Version 1.77, 5704 bytes\n");
    EXPECT_TRUE(status.err.empty()) << status.err;

    EXPECT_EQ(stopSimulator(), 0);
    EXPECT_FALSE(fs::exists(socket_)) << "the simulator removes its socket";
    const std::string log = read("sim.out");
    EXPECT_TRUE(contains(log, "IN  AA 55 F8 00 00 00 00 00\nOUT C0 22 5A 00 00 00 00 00\n")) << log;
    EXPECT_TRUE(
        contains(log, "IN  AA 55 F2 10 80 FF 00 00\nOUT C0 44 00 00 80 00 00 00\nOUT 8A 65 C2 00 80 00 00 00\n"))
        << log;
}

TEST_F(EndToEnd, UsbStickModeIsReported)
{
    // A stick in USB Stick mode leaves the mode query unanswered: the status takes a second.
    startSimulator({"--mode", "usb"});
    const ProcessRun status = stickStatus();
    EXPECT_EQ(status.code, 0) << status.err;
    EXPECT_EQ(status.out, "USB Stick mode, device connected\n");
}

TEST_F(EndToEnd, WithoutASimulatorNoStickIsFound)
{
    const ProcessRun status = stickStatus();
    EXPECT_EQ(status.code, 3);
    EXPECT_TRUE(status.out.empty());
    EXPECT_EQ(status.err, "No stick found.\n");
}

// Waits for the collector to finish reading the block at `address`.
std::optional<Block> readBlock(HidTransport& transport, std::uint16_t address)
{
    Block control{};
    Block data{};
    BlockCollector collector(control, data);
    collector.readDataBlock(transport, address);
    for (int tick = 0; tick < 2000; ++tick) {
        if (collector.tick(transport) == CollectorTick::blockComplete)
            return data;
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
}

TEST_F(EndToEnd, WrittenBlockSurvivesARestartWithTheStateFile)
{
    const std::string state = (folder_ / "stick.state").string();
    constexpr std::uint16_t address = 0x4000;
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<Byte>(0xFF - i);

    startSimulator({"--state", state});
    {
        BridgeTransport stick(socket_.string());
        ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
        stick.writeData(writeBlockCommand(address));
        for (std::size_t at = 0; at < block.size(); at += kDataReportSize)
            stick.writeData(ByteSpan(block).subspan(at, kDataReportSize));
        std::optional<WriteAcknowledgement> ack;
        for (int tick = 0; tick < 2000 && !ack; ++tick) {
            if (const auto report = stick.readData())
                ack = parseWriteAcknowledgement(*report);
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_TRUE(ack);
        ASSERT_TRUE(ack->confirms(address));
    }
    EXPECT_EQ(stopSimulator(), 0);

    startSimulator({"--state", state});
    BridgeTransport stick(socket_.string());
    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_EQ(readBlock(stick, address), block);
}

// A simulator whose state file can no longer be written says so at every change and
// ends with a failure, so that nobody trusts a state file that missed a change.
TEST_F(EndToEnd, AStateThatCannotBeSavedIsReportedAndFailsTheRun)
{
    fs::create_directory(folder_ / "state");
    const std::string state = (folder_ / "state" / "stick.state").string();
    startSimulator({"--state", state});
    fs::remove_all(folder_ / "state"); // the folder goes: no save can succeed any more

    const ProcessRun erase = run("ormid-cli", "stick erase", "ORMID_HID_BRIDGE='" + socket_.string() + "'");
    EXPECT_EQ(erase.code, 0) << erase.err;
    EXPECT_EQ(stopSimulator(), 1);
    const std::string log = read("sim.out");
    EXPECT_TRUE(contains(log, "ormid-stick-sim: Cannot write " + state)) << log;
    EXPECT_TRUE(contains(log, "; the stick's state is not saved\n")) << log;
    EXPECT_TRUE(contains(log, "ormid-stick-sim: " + state + " does not hold the stick's last state\n")) << log;
}

TEST_F(EndToEnd, SimulatorCommandLineErrorsAndHelp)
{
    const ProcessRun help = run("ormid-stick-sim", "--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_TRUE(contains(help.out, "Usage: ormid-stick-sim"));

    const ProcessRun bad = run("ormid-stick-sim", "--socket '" + socket_.string() + "' --mode hid");
    EXPECT_EQ(bad.code, 2);
    EXPECT_TRUE(contains(bad.err, "--mode: expected memory or usb, got 'hid'"));
    EXPECT_TRUE(contains(bad.err, "Usage: ormid-stick-sim"));

    const ProcessRun badPreset
        = run("ormid-stick-sim", "--socket '" + socket_.string() + "' --preset M1=" + put("x.kdc", "no"));
    EXPECT_EQ(badPreset.code, 1);
    EXPECT_TRUE(contains(badPreset.err, "x.kdc")) << badPreset.err;
    EXPECT_FALSE(fs::exists(socket_));
}

} // namespace
} // namespace ormid
