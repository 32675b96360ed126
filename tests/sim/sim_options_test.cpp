#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/image.h"
#include "files/config_file.h"
#include "link/control_block.h"
#include "sim/state_file.h"
#include "temp_folder.h"

namespace ormid::sim {
namespace {

using Args = std::vector<std::string>;

Args withSocket(Args args)
{
    args.insert(args.begin(), {"--socket", "/tmp/s.sock"});
    return args;
}

TEST(SimOptions, GoodCommandLines)
{
    const struct {
        Args args;
        std::function<void(const SimOptions&)> check;
    } cases[] = {
        {{"--socket", "/tmp/a.sock"},
         [](const SimOptions& o) {
             EXPECT_EQ(o.socketPath, "/tmp/a.sock");
             EXPECT_EQ(o.config.mode, StickMode::memory);
             EXPECT_FALSE(o.remote);
             EXPECT_FALSE(o.config.legacy);
             EXPECT_FALSE(o.log);
             EXPECT_FALSE(o.stateFile);
             EXPECT_TRUE(o.presets.empty());
         }},
        {{"--socket=/tmp/b.sock", "--mode=memory", "--remote", "--log"},
         [](const SimOptions& o) {
             EXPECT_EQ(o.socketPath, "/tmp/b.sock");
             EXPECT_TRUE(o.remote);
             EXPECT_TRUE(o.log);
         }},
        {withSocket({"--legacy", "--state", "st.bin"}),
         [](const SimOptions& o) {
             EXPECT_TRUE(o.config.legacy);
             EXPECT_EQ(o.stateFile, "st.bin");
         }},
        {withSocket({"--preset", "M1=street.kdc:Street", "--preset", "M4=a/b.kdc", "--preset",
                     "M2=x.kdc:", "--preset-firmware", "77:5704"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.presets,
                       (std::vector<MemoryPreset>{
                           {1, "street.kdc", "Street"}, {4, "a/b.kdc", std::nullopt}, {2, "x.kdc", ""}}));
             EXPECT_EQ(o.firmwarePreset, (FirmwarePreset{77, 5704}));
         }},
        {withSocket({"--preset", "M3=s.kdc:Name:with:colons"}),
         [](const SimOptions& o) {
             ASSERT_EQ(o.presets.size(), 1u);
             EXPECT_EQ(o.presets[0].file, "s.kdc");
             EXPECT_EQ(o.presets[0].name, "Name:with:colons");
         }},
        {withSocket({"--no-block-ack", "--ack-other-address", "--ack-status-zero", "--drop-after", "3", "--reply-delay",
                     "25", "--lose-block-ack", "2"}),
         [](const SimOptions& o) {
             EXPECT_TRUE(o.faults.neverAckBlockWrite);
             EXPECT_TRUE(o.faults.ackOtherAddress);
             EXPECT_TRUE(o.faults.ackStatusZero);
             EXPECT_EQ(o.faults.dropAfterReports, 3);
             EXPECT_EQ(o.faults.replyDelay, 25);
             EXPECT_EQ(o.faults.loseBlockAck, 2);
         }},
        {withSocket({"--mode", "usb", "--device-id", "a1B2c3D4", "--device-fw", "none", "--fw-after-update", "80",
                     "--device-memory", "dev.bin", "--identify-period", "0"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.config.mode, StickMode::usb);
             EXPECT_TRUE(o.config.deviceConnected);
             EXPECT_EQ(o.config.deviceId, (std::array<Byte, 4>{0xA1, 0xB2, 0xC3, 0xD4}));
             EXPECT_EQ(o.config.deviceFirmware, 0xFF);
             EXPECT_EQ(o.config.firmwareAfterUpdate, 80);
             EXPECT_EQ(o.deviceMemoryFile, "dev.bin");
             EXPECT_EQ(o.config.identifyPeriod, 0);
         }},
        {withSocket({"--mode", "usb", "--device-id", "11111111,22222222:refuse,33333333", "--swap-when-idle", "500"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.config.deviceId, (std::array<Byte, 4>{0x11, 0x11, 0x11, 0x11}));
             EXPECT_FALSE(o.config.deviceRefusesWrites);
             EXPECT_EQ(o.config.nextDevices,
                       (std::vector<LineDevice>{{{0x22, 0x22, 0x22, 0x22}, true}, {{0x33, 0x33, 0x33, 0x33}, false}}));
             EXPECT_EQ(o.config.swapWhenIdle, 500);
         }},
        {withSocket({"--mode", "usb", "--device-id", "ABCDEF01:refuse"}),
         [](const SimOptions& o) {
             EXPECT_TRUE(o.config.deviceRefusesWrites);
             EXPECT_TRUE(o.config.nextDevices.empty());
         }},
        {withSocket({"--mode", "usb", "--no-device", "--device-fw", "0"}),
         [](const SimOptions& o) {
             EXPECT_FALSE(o.config.deviceConnected);
             EXPECT_EQ(o.config.deviceFirmware, 0);
         }},
        {withSocket({"--mode", "usb", "--refuse-write-memory", "2", "--refuse-write-ee", "1", "--corrupt-read-at",
                     "0x1A", "--refuse-page", "3:[", "--lose-link-ack", "4", "--wrong-link-ack", "5"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.faults.refuseWriteMemory, 2);
             EXPECT_EQ(o.faults.refuseWriteEe, 1);
             EXPECT_EQ(o.faults.loseLinkAck, 4);
             EXPECT_EQ(o.faults.wrongLinkAck, 5);
             EXPECT_EQ(o.faults.corruptReadAt, 0x1A);
             EXPECT_EQ(o.faults.refusePage, 3);
             EXPECT_EQ(o.faults.refusePageCode, '[');
         }},
        {withSocket({"--mode", "usb", "--lose-reply", "Z:3", "--swap-xz", "2"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.faults.loseReply, (LostReply{'Z', 3}));
             EXPECT_EQ(o.faults.swapSegmentAck, 2);
         }},
        {withSocket({"--mode", "usb", "--lose-reply", "0x5f:1"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.faults.loseReply, (LostReply{'_', 1}));
         }},
        {withSocket({"--mode", "usb", "--lose-reply", "::2"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.faults.loseReply, (LostReply{':', 2}));
         }},
        {withSocket({"--mode", "usb", "--refuse-page", "0", "--corrupt-read-at", "234"}),
         [](const SimOptions& o) {
             EXPECT_EQ(o.faults.refusePage, 0);
             EXPECT_EQ(o.faults.refusePageCode, 'Y');
             EXPECT_EQ(o.faults.corruptReadAt, 234);
         }},
        {withSocket({"--mode", "memory", "--flip-stored", "0x8012"}),
         [](const SimOptions& o) { EXPECT_EQ(o.faults.flipStoredAt, 0x8012); }},
        {withSocket({"--mode", "usb", "--refuse-page", "7:Y"}),
         [](const SimOptions& o) { EXPECT_EQ(o.faults.refusePageCode, 'Y'); }},
        // The mode may come after the options that need it.
        {{"--remote", "--socket", "/tmp/c.sock", "--mode", "memory"},
         [](const SimOptions& o) { EXPECT_TRUE(o.remote); }},
    };
    for (const auto& c : cases) {
        const ParsedOptions parsed = parseSimOptions(c.args);
        ASSERT_EQ(parsed.outcome, ParseOutcome::run) << testing::PrintToString(c.args) << ": " << parsed.error;
        SCOPED_TRACE(testing::PrintToString(c.args));
        c.check(parsed.options);
    }
}

TEST(SimOptions, BadCommandLinesNameTheProblem)
{
    const struct {
        Args args;
        std::string error;
    } cases[] = {
        {{}, "--socket PATH is required"},
        {{"--mode", "usb"}, "--socket PATH is required"},
        {{"--socket"}, "--socket needs a value (PATH)"},
        {{"--socket", ""}, "--socket: expected a socket path"},
        {withSocket({"--socket", "/tmp/t.sock"}), "--socket is given twice"},
        {withSocket({"--mode", "hid"}), "--mode: expected memory or usb, got 'hid'"},
        {withSocket({"--frobnicate"}), "unknown option --frobnicate"},
        {withSocket({"stray"}), "unexpected argument 'stray'"},
        {withSocket({"--remote=yes"}), "--remote takes no value"},
        {withSocket({"--legacy", "--legacy"}), "--legacy is given twice"},
        {withSocket({"--preset", "M5=a.kdc"}), "--preset: expected M1..M4=FILE[:NAME], got 'M5=a.kdc'"},
        {withSocket({"--preset", "M0=a.kdc"}), "expected M1..M4=FILE[:NAME]"},
        {withSocket({"--preset", "1=a.kdc"}), "expected M1..M4=FILE[:NAME]"},
        {withSocket({"--preset", "M1"}), "expected M1..M4=FILE[:NAME]"},
        {withSocket({"--preset", "M1="}), "expected M1..M4=FILE[:NAME]"},
        {withSocket({"--preset", "M1=:Name"}), "expected M1..M4=FILE[:NAME]"},
        {withSocket({"--preset", "M2=a.kdc", "--preset", "M2=b.kdc"}), "M2 is preset twice"},
        {withSocket({"--preset-firmware", "77"}), "--preset-firmware: expected VERSION:SIZE"},
        {withSocket({"--preset-firmware", "256:100"}), "expected VERSION:SIZE"},
        {withSocket({"--preset-firmware", "77:0"}), "expected VERSION:SIZE"},
        {withSocket({"--preset-firmware", "77:12288"}), "a size from 1 to 12287"},
        {withSocket({"--mode", "usb", "--device-id", "1234567"}), "--device-id: expected 8 hexadecimal digits"},
        {withSocket({"--mode", "usb", "--device-id", "123456789A"}), "expected 8 hexadecimal digits"},
        {withSocket({"--mode", "usb", "--device-id", "1234567G"}), "expected 8 hexadecimal digits"},
        {withSocket({"--mode", "usb", "--device-id", "11111111,"}), "expected 8 hexadecimal digits"},
        {withSocket({"--mode", "usb", "--device-id", "11111111:refused"}), "expected 8 hexadecimal digits"},
        {withSocket({"--mode", "usb", "--swap-when-idle", "0"}), "--swap-when-idle:"},
        {withSocket({"--swap-when-idle", "500"}), "--swap-when-idle"},
        {withSocket({"--mode", "usb", "--device-fw", "256"}), "--device-fw: expected a version number from 0 to 255"},
        {withSocket({"--mode", "usb", "--device-fw", "-1"}), "expected a version number"},
        {withSocket({"--mode", "usb", "--device-fw", "7x"}), "expected a version number"},
        {withSocket({"--mode", "usb", "--fw-after-update", "None"}), "expected a version number"},
        {withSocket({"--mode", "usb", "--corrupt-read-at", "256"}), "--corrupt-read-at: expected a device address"},
        {withSocket({"--mode", "usb", "--corrupt-read-at", "0x100"}), "expected a device address"},
        {withSocket({"--mode", "usb", "--refuse-page", "2:Z"}), "--refuse-page: expected a page number"},
        {withSocket({"--flip-stored", "0x10000"}), "--flip-stored: expected a memory address"},
        {withSocket({"--mode", "usb", "--refuse-page", ":Y"}), "expected a page number"},
        {withSocket({"--mode", "usb", "--refuse-write-ee", "-2"}), "--refuse-write-ee: expected a whole number from 0"},
        {withSocket({"--drop-after", "0"}), "--drop-after: expected a whole number from 1 to 1000000, got '0'"},
        {withSocket({"--lose-block-ack", "0"}), "--lose-block-ack: expected a whole number from 1 to 1000000, got '0'"},
        {withSocket({"--lose-link-ack", "1"}), "--lose-link-ack needs --mode usb"},
        {withSocket({"--mode", "usb", "--lose-reply", "Z"}), "--lose-reply: expected CODE:N"},
        {withSocket({"--mode", "usb", "--lose-reply", "Z:0"}), "expected CODE:N"},
        {withSocket({"--mode", "usb", "--lose-reply", "ZZ:1"}), "expected CODE:N"},
        {withSocket({"--mode", "usb", "--lose-reply", "0x100:1"}), "expected CODE:N"},
        {withSocket({"--mode", "usb", "--lose-reply", ":1"}), "expected CODE:N"},
        {withSocket({"--mode", "usb", "--swap-xz", "0"}), "--swap-xz: expected a whole number from 1"},
        {withSocket({"--lose-reply", "Z:1"}), "--lose-reply needs --mode usb"},
        {withSocket({"--reply-delay", "60001"}), "--reply-delay: expected a whole number from 0 to 60000"},
        {withSocket({"--reply-delay", "0x10"}), "expected a whole number"},
        {withSocket({"--mode", "usb", "--identify-period", "9999999999999999999999"}), "expected a whole number"},
        // Options of the other mode.
        {withSocket({"--mode", "usb", "--remote"}), "--remote needs --mode memory"},
        {withSocket({"--legacy", "--mode", "usb"}), "--legacy needs --mode memory"},
        {withSocket({"--mode", "usb", "--preset", "M1=a.kdc"}), "--preset needs --mode memory"},
        {withSocket({"--mode", "usb", "--no-block-ack"}), "--no-block-ack needs --mode memory"},
        {withSocket({"--no-device"}), "--no-device needs --mode usb"},
        {withSocket({"--mode", "memory", "--device-fw", "70"}), "--device-fw needs --mode usb"},
        {withSocket({"--refuse-page", "1"}), "--refuse-page needs --mode usb"},
    };
    for (const auto& c : cases) {
        const ParsedOptions parsed = parseSimOptions(c.args);
        EXPECT_EQ(parsed.outcome, ParseOutcome::error) << testing::PrintToString(c.args);
        EXPECT_NE(parsed.error.find(c.error), std::string::npos)
            << testing::PrintToString(c.args) << "\n  got: " << parsed.error << "\n  expected: " << c.error;
    }
}

TEST(SimOptions, HelpWinsOverEverythingElse)
{
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"--frobnicate", "--help"}}) {
        EXPECT_EQ(parseSimOptions(args).outcome, ParseOutcome::help) << testing::PrintToString(args);
    }
    std::ostringstream usage;
    printSimUsage(usage);
    EXPECT_NE(usage.str().find("Usage: ormid-stick-sim --socket PATH"), std::string::npos);
}

class PrepareStickState : public test::TempFolderTest {
protected:
    // A state file of a remote stick whose M2 is named "Kept".
    std::string remoteStateFile()
    {
        StickState state;
        state.remote = true;
        Block control = readStickBlock(state, kControlBlockAddress);
        fillMemoryRecord(control, 2, true, 0, "Kept");
        writeStickBlock(state, kControlBlockAddress, control);
        const std::string path = (folder_ / "stick.state").string();
        EXPECT_EQ(saveStickState(path, state), "");
        return path;
    }
};

MemoryRecord record(const StickState& state, int n)
{
    return readMemoryRecord(readStickBlock(state, kControlBlockAddress), n);
}

TEST_F(PrepareStickState, PresetsGoOnTopOfTheLoadedStateFile)
{
    SimOptions options;
    options.stateFile = remoteStateFile();
    options.presets = {{1, put("a.kdc", saveConfiguration(makeDefaultImage(), "Info A")), std::nullopt},
                       {3, put("b.kdc", saveConfiguration(makeDefaultImage(), "Info B")), "Named"}};
    options.firmwarePreset = FirmwarePreset{81, 4000};

    const PreparedState prepared = prepareStickState(options);
    ASSERT_TRUE(prepared.ok()) << prepared.error;
    const StickState& state = prepared.state;
    EXPECT_TRUE(state.remote) << "the state file's kind of stick is kept";
    EXPECT_TRUE(record(state, 1).isValid(true)) << "a preset on a remote stick carries the remote signature";
    EXPECT_EQ(record(state, 1).name(), "Info A  ");
    EXPECT_EQ(record(state, 2).name(), "Kept    ");
    EXPECT_EQ(record(state, 3).name(), "Named   ");
    EXPECT_FALSE(record(state, 4).isValid(true));
    const FirmwareRecord firmware = readFirmwareRecord(readStickBlock(state, kControlBlockAddress));
    EXPECT_TRUE(firmware.isValid());
    EXPECT_EQ(firmware.version, 81);
    EXPECT_EQ(firmware.size, 4000);
}

TEST_F(PrepareStickState, RemoteOptionAndAMissingStateFile)
{
    SimOptions options;
    options.stateFile = (folder_ / "not-yet.state").string();
    EXPECT_EQ(prepareStickState(options).state, StickState{}) << "a fresh stick until the file exists";
    options.remote = true;
    EXPECT_TRUE(prepareStickState(options).state.remote);
}

TEST_F(PrepareStickState, FilesThatCannotBeUsedAreNamed)
{
    const std::string bad = put("bad.kdc", saveConfiguration(makeDefaultImage(), "x").replace(3, 4, "0000"));
    const struct {
        std::string name;
        std::function<void(SimOptions&)> set;
        std::string error;
    } cases[] = {
        {"damaged state file", [&](SimOptions& o) { o.stateFile = put("bad.state", "ORMSTICK"); }, "bad.state: "},
        {"missing preset file",
         [&](SimOptions& o) {
             o.presets = {{1, (folder_ / "none.kdc").string(), {}}};
         },
         "none.kdc"},
        {"corrupted configuration",
         [&](SimOptions& o) {
             o.presets = {{2, bad, {}}};
         },
         "File is corrupted!"},
        {"firmware instead of a configuration",
         [&](SimOptions& o) {
             o.presets = {{2, put("fw.kdp", "FWX0080010000\r\n" + std::string(256, '0')), {}}};
         },
         "fw.kdp is not a usable configuration file"},
        {"short device memory",
         [&](SimOptions& o) {
             o.config.mode = StickMode::usb;
             o.deviceMemoryFile = put("dev.bin", std::string(255, '\0'));
         },
         "dev.bin holds 255 bytes"},
    };
    for (const auto& c : cases) {
        SimOptions options;
        c.set(options);
        const PreparedState prepared = prepareStickState(options);
        EXPECT_FALSE(prepared.ok()) << c.name;
        EXPECT_NE(prepared.error.find(c.error), std::string::npos) << c.name << ": " << prepared.error;
    }
}

} // namespace
} // namespace ormid::sim
