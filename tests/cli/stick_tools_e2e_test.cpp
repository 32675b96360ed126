// The service tools of ormid-cli against ormid-stick-sim, both as real processes: a
// stick backed up, erased and restored, a restore that refuses a damaged backup, a
// stick memory compared with a file, and a production line programmed in a batch.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <sys/wait.h>

#include "app/child_process.h"
#include "core/image.h"
#include "core/remote_frames.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/stick_backup.h"
#include "link/control_block.h"
#include "link/memory_transfer.h"
#include "sim/presets.h"
#include "sim/state_file.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

EeBlock patternImage(int factor)
{
    EeBlock image = makeDefaultImage();
    for (std::size_t i = 0; i < kStoredImageBytes; ++i)
        image[i] = static_cast<Byte>(i * factor + 1);
    clearAstroData(image);
    return image;
}

class StickTools : public test::TempFolderTest {
protected:
    void TearDown() override
    {
        stopSimulator();
        TempFolderTest::TearDown();
    }

    std::string path(const char* name) const { return (folder_ / name).string(); }

    // The simulator on `state`, in memory mode unless `options` say otherwise, kept in
    // the state file.
    void startSimulator(const sim::StickState& state, std::vector<std::string> options = {"--mode", "memory"})
    {
        ASSERT_EQ(sim::saveStickState(folder_ / "stick.state", state), "");
        options.insert(options.end(), {"--socket", path("stick.sock"), "--state", path("stick.state")});
        simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim", options, {}, folder_ / "sim.out");
        ASSERT_GT(simulator_, 0);
        ASSERT_TRUE(test::awaitCondition([&] { return fs::is_socket(folder_ / "stick.sock"); }));
    }
    // Ends the simulator; what its stick holds.
    sim::StickState stopSimulator()
    {
        if (simulator_ > 0) {
            ::kill(simulator_, SIGTERM);
            test::awaitExit(simulator_);
            simulator_ = -1;
        }
        const sim::StateFileResult state = sim::loadStickState(folder_ / "stick.state");
        EXPECT_TRUE(state.ok()) << state.error;
        return state.state;
    }
    // Runs ormid-cli against the simulator; its exit code, its output in `output_`.
    int cli(const std::vector<std::string>& args)
    {
        fs::remove(folder_ / "cli.out");
        const pid_t pid = test::spawnProcess(test::kBinDir + "/ormid-cli", args,
                                             {{"ORMID_HID_BRIDGE", path("stick.sock")}}, folder_ / "cli.out");
        const int status = test::awaitExit(pid);
        output_ = readWholeFile(folder_ / "cli.out").bytes;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // M1 "Street" and M3 "Hof 3" hold configurations; the stick holds firmware 1.77.
    static sim::StickState filledStick(bool remote)
    {
        sim::StickState state;
        state.remote = remote;
        EXPECT_EQ(sim::presetMemory(state, 1, patternImage(3), "Street"), "");
        EXPECT_EQ(sim::presetMemory(state, 3, patternImage(5), "Hof 3"), "");
        EXPECT_EQ(sim::presetFirmwareRecord(state, 77, 4096), "");
        return state;
    }

    pid_t simulator_ = -1;
    std::string output_;
};

TEST_F(StickTools, BackupEraseRestoreGivesTheSameStick)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote stick" : "local stick");
        const sim::StickState filled = filledStick(remote);
        startSimulator(filled);
        const std::string backup = path(remote ? "remote-backup" : "local-backup");
        ASSERT_EQ(cli({"stick", "backup", backup}), 0) << output_;
        EXPECT_TRUE(fs::is_regular_file(fs::path(backup) / "M1-Street.kdc"));
        EXPECT_TRUE(fs::is_regular_file(fs::path(backup) / "M3-Hof 3.kdc"));
        const BackupManifestRead manifest
            = readBackupManifest(readWholeFile(fs::path(backup) / kBackupManifestName).bytes);
        ASSERT_TRUE(manifest.ok()) << manifest.error;
        EXPECT_EQ(manifest.backup.remote, remote);
        ASSERT_TRUE(manifest.backup.firmware);
        EXPECT_EQ(manifest.backup.firmware->version, 77);
        EXPECT_EQ(manifest.backup.memories[2].name, "Hof 3");
        EXPECT_TRUE(manifest.backup.memories[1].empty);

        ASSERT_EQ(cli(remote ? std::vector<std::string>{"stick", "erase", "--remote"}
                             : std::vector<std::string>{"stick", "erase"}),
                  0)
            << output_;
        ASSERT_EQ(cli({"stick", "restore", backup}), 0) << output_;
        EXPECT_NE(output_.find("Wrote " + backup + "/M3-Hof 3.kdc to M3, verified"), std::string::npos) << output_;
        EXPECT_EQ(cli({"diff", "stick:M3", backup + "/M3-Hof 3.kdc"}), 0) << output_;
        EXPECT_EQ(cli({"diff", "stick:M1", "stick:M3"}), 1) << output_;
        sim::StickState expected = filled;
        // A remote memory's frames are made from its configuration and Tx boxes as it is written.
        for (const int n : {1, 3})
            if (remote)
                sim::writeStickBlock(expected, remoteBlockAddress(n),
                                     *buildRemoteFrameBlock(encodeRemoteFrames(patternImage(n == 1 ? 3 : 5), 0x00)));
        EXPECT_EQ(stopSimulator().memory, expected.memory) << "the stick as it was backed up";
    }
}

TEST_F(StickTools, ADamagedOrIncompleteBackupLeavesTheStickUntouched)
{
    startSimulator(filledStick(false));
    const fs::path backup = folder_ / "backup";
    ASSERT_EQ(cli({"stick", "backup", backup.string()}), 0) << output_;
    EXPECT_EQ(cli({"stick", "backup", backup.string()}), 1) << "a second backup does not mix with the first";
    ASSERT_EQ(cli({"stick", "erase"}), 0) << output_;
    const sim::StickState erased = stopSimulator();

    const std::string manifest = readWholeFile(backup / kBackupManifestName).bytes;
    const struct {
        const char* name;
        void (*damage)(const fs::path& backup, const std::string& manifest);
        std::vector<std::string> options;
        std::string message;
    } cases[] = {
        {"a file missing",
         [](const fs::path& b, const std::string&) { fs::remove(b / "M3-Hof 3.kdc"); },
         {},
         "M3-Hof 3.kdc"},
        {"a damaged file",
         [](const fs::path& b, const std::string&) {
             EXPECT_TRUE(writeFileAtomically(b / "M1-Street.kdc", "MMN").ok());
         },
         {},
         "The file of M1 cannot be restored."},
        {"no manifest",
         [](const fs::path& b, const std::string&) { fs::remove(b / kBackupManifestName); },
         {},
         "manifest.ini"},
        {"a damaged manifest",
         [](const fs::path& b, const std::string& m) {
             EXPECT_TRUE(writeFileAtomically(b / kBackupManifestName, m.substr(0, m.find("[M3]") + 5)).ok());
         },
         {},
         "The manifest is damaged: M3 is neither empty nor a memory"},
        {"a slot that is empty in the backup",
         [](const fs::path&, const std::string&) {},
         {"--slots", "M2"},
         "M2 is empty in the backup."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path copy = folder_ / "copy";
        fs::remove_all(copy);
        fs::copy(backup, copy);
        c.damage(copy, manifest);
        startSimulator(erased);
        std::vector<std::string> args = {"stick", "restore", copy.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(cli(args), 1) << output_;
        EXPECT_NE(output_.find(c.message), std::string::npos) << output_;
        EXPECT_NE(output_.find("the stick was not touched"), std::string::npos) << output_;
        EXPECT_EQ(stopSimulator().memory, erased.memory);
    }

    // A backup of a local stick is not written to a remote one.
    sim::StickState remote = erased;
    remote.remote = true;
    startSimulator(remote);
    EXPECT_EQ(cli({"stick", "restore", backup.string(), "--slots", "M1"}), 4) << output_;
    EXPECT_NE(output_.find("The backup is of a local stick, this stick is remote"), std::string::npos) << output_;
    EXPECT_EQ(stopSimulator().memory, remote.memory);
}

// What was written to the device compares equal to its file (the device keeps no info
// text), and a changed file differs in the report's words.
TEST_F(StickTools, DiffAgainstTheDeviceShowsWhatItHolds)
{
    startSimulator({}, {"--mode", "usb", "--identify-period", "300"});
    const EeBlock image = patternImage(7);
    const std::string file = path("lamp.kdc");
    ASSERT_TRUE(writeFileAtomically(file, saveConfiguration(image, "Lamp")).ok());
    ASSERT_EQ(cli({"device", "write", file}), 0) << output_;

    EXPECT_EQ(cli({"diff", file, "device:"}), 0) << output_;
    EXPECT_EQ(output_, "");
    EeBlock changed = image;
    changed[field::blockTime] = static_cast<Byte>(image[field::blockTime] + 1);
    const std::string other = path("other.kdc");
    ASSERT_TRUE(writeFileAtomically(other, saveConfiguration(changed, "Other")).ok());
    EXPECT_EQ(cli({"diff", "device:", other}), 1) << output_;
    EXPECT_EQ(output_.rfind("Blocking time: ", 0), 0u) << output_;
    EXPECT_EQ(output_.find("Info:"), std::string::npos) << output_;
}

// Three devices come one after another, the second refusing every write: each gets a
// line and a log row, the failure does not end the batch, and the third holds the file.
TEST_F(StickTools, ABatchProgramsAProductionLine)
{
    startSimulator({},
                   {"--mode", "usb", "--identify-period", "300", "--swap-when-idle", "1500", "--device-id",
                    "11111111,22222222:refuse,33333333"});
    const EeBlock image = patternImage(7);
    const std::string file = path("lamp.kdc");
    ASSERT_TRUE(writeFileAtomically(file, saveConfiguration(image, "Lamp")).ok());
    const std::string log = path("line.csv");

    EXPECT_EQ(cli({"device", "write", file, "--batch", "--log", log, "--count", "3"}), 4) << output_;
    for (const char* line : {"1  Device Nr. 11111111  FW 1.77  done\n",
                             "2  Device Nr. 22222222  FW 1.77  failed: ", "3  Device Nr. 33333333  FW 1.77  done\n"})
        EXPECT_NE(output_.find(line), std::string::npos) << line << "\n" << output_;

    const std::string logText = readWholeFile(log).bytes;
    const std::vector<std::string_view> rows = splitTextLines(logText);
    ASSERT_EQ(rows.size(), 4u) << logText;
    EXPECT_EQ(rows[0], "number,time,device,firmware,result");
    const struct {
        const char* start;
        const char* result;
    } expected[] = {{"1,", ",11111111,FW 1.77,done"},
                    {"2,", ",22222222,FW 1.77,failed: Transfer Error!"},
                    {"3,", ",33333333,FW 1.77,done"}};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_TRUE(rows[i + 1].starts_with(expected[i].start)) << rows[i + 1];
        EXPECT_NE(rows[i + 1].find(expected[i].result), std::string::npos) << rows[i + 1];
    }
    const sim::StickState stick = stopSimulator();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kStoredImageBytes, stick.deviceMemory.begin()));
}

} // namespace
} // namespace ormid
