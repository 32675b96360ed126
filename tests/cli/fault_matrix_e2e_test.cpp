// The fault matrix: ormid-stick-sim with one fault against each ormid-cli operation
// that changes what a stick or a device holds (stick write, stick erase, device write,
// device update-fw), both as real processes over the bridge socket. Each cell checks
// the exit code, the messages, and, from the simulator's state file, what the stick
// or the device holds afterwards: the old content, the new one, or the state the
// message names.
//
// The stick is pulled out at a step by --drop-after N, N counting the reports in and
// out. Memory mode: the probe takes 20 (mode query and answer, the control-block
// request, its header and 16 data reports), then each block write 18 (command, 16
// data reports, acknowledgement): the data block is stored with report 37, the control
// block with report 55. USB Stick mode, with --identify-period 0 so that no periodic
// identification counts: the probe and the identification take 4, the read 20 (ten
// frames and their replies), then every frame and its reply 2 (the first Write Memory
// is report 25). An update sends its first Reset as report 25 and the device announces
// itself with report 26; a firmware page's three segments and replies are 6 (page 1 is
// reports 27 to 32, page 2 33 to 38) and the Reset after the last page is report 39.
//
// The update-fw cells that run it twice keep the simulator running between the two
// runs, as a device keeps an update it is in the middle of: the second run must leave
// the device with exactly the firmware sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "app/child_process.h"
#include "core/data_block.h"
#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/control_block.h"
#include "link/firmware_text.h"
#include "sim/presets.h"
#include "sim/state_file.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

// deviceWrite skips the read-back (--no-verify): with --identify-period 0 the device
// announces itself only after a read or a Reset, so the report counts stay fixed.
// deviceWriteVerified reads back on the device's next announcement, every 300 ms.
// deviceUpdateFwTwice runs update-fw, then again against the same simulator.
enum class Operation { stickWrite, stickErase, deviceWrite, deviceUpdateFw, deviceWriteVerified, deviceUpdateFwTwice };

// What the stick or the device holds after the operation.
enum class Holds {
    stickAsItWas,
    stickWritten,          // M3 holds the new data under its new record "New"
    stickWrittenFlipped,   // the same, with the byte at the cell's --flip-stored address inverted
    newDataUnderOldRecord, // M3's data block holds the new data, its record still "Old"
    stickErased,
    deviceAsItWas,
    deviceWritten,         // bytes 0..95 from the file, the device's own bytes after them
    deviceWrittenFlipped,  // the same, with the byte at the cell's --flip-stored address inverted
    deviceFirstFrameOnly,  // bytes 0..24 from the file, the rest as it was
    firmwareAsItWas,       // FW 1.70, no page received
    firmwareUpdated,       // FW 1.77, both pages received
    firmwareFirstPageOnly, // FW 1.70, the first page received
    firmwareNotTaken,      // FW 1.70 although both pages were received and the device reset
    firmwareNotReset,      // FW 1.70, both pages received, the Reset never came
};

struct Cell {
    const char* name;
    Operation operation;
    std::vector<std::string> faults;   // ormid-stick-sim options
    int exitCode;                      // of the (first) run
    std::vector<std::string> messages; // each in the (first) run's output
    Holds holds;                       // after the last run
    friend void PrintTo(const Cell& cell, std::ostream* os) { *os << cell.name; }
};

// The same messages for the stick write whichever way its step failed.
const std::string kDataBlockUnchanged
    = "Read back: the control block is as it was (M3 \"Old\") and M3's data block does not hold the new data.";
const std::string kDataBlockSuspect = "Read back: M3's data block holds the new data, but the control block is as it "
                                      "was (M3 \"Old\"): M3 is suspect until it is written again.";
const std::string kPulledInDataBlock = "The stick was pulled out, so it cannot be read back: its control block was not "
                                       "written (M3 \"Old\"), but M3's data block may already hold the new data.";
const std::string kPulledInControlBlock = "The stick was pulled out, so it cannot be read back: M3's data block holds "
                                          "the new data; its control block may still be as it was (M3 \"Old\") or "
                                          "hold the new record.";
const std::string kPulledBeforeTheErase
    = "The erase command was sent, but then the stick was pulled out: whether its memories are erased is not known.";
const std::string kNoLinkReply = "The stick did not answer in USB Stick mode: no link reply came within 5 s.";
const std::string kPulledBeforeTheConfirmation
    = "All 2 pages were acknowledged, but the stick was pulled out before the device announced itself after the "
      "Reset: whether it got the Reset and runs FW 1.77 is not known: the update is not confirmed.";

// clang-format off
const Cell kCells[] = {
    // stick write M3 new.kdc: data block first, control block last.
    {"StickWrite_NoFault", Operation::stickWrite, {}, 0, {}, Holds::stickWritten},
    {"StickWrite_NoAcknowledgement", Operation::stickWrite, {"--no-block-ack"}, 4,
     {"Firmware Write Error!CF", "Writing the data block of M3 failed: no acknowledgement from the stick.",
      kDataBlockUnchanged}, Holds::stickAsItWas},
    {"StickWrite_DataBlockAcknowledgementLost", Operation::stickWrite, {"--lose-block-ack", "1"}, 4,
     {"Firmware Write Error!CF", kDataBlockSuspect}, Holds::newDataUnderOldRecord},
    {"StickWrite_ControlBlockAcknowledgementLost", Operation::stickWrite, {"--lose-block-ack", "2"}, 0,
     {"The stick did not confirm the control block of M3 (no acknowledgement from the stick), but reading it back "
      "shows the new data and record in place."}, Holds::stickWritten},
    {"StickWrite_WrongAcknowledgement", Operation::stickWrite, {"--ack-other-address"}, 4,
     {"Writing the data block of M3 failed: the stick acknowledged another address.", kDataBlockUnchanged},
     Holds::stickAsItWas},
    // Memory mode repeats no block: one refusal ends the write.
    {"StickWrite_Refused", Operation::stickWrite, {"--ack-status-zero"}, 4,
     {"Writing the data block of M3 failed: the stick refused the block.", kDataBlockUnchanged}, Holds::stickAsItWas},
    {"StickWrite_SlowReplies", Operation::stickWrite, {"--reply-delay", "300"}, 0, {}, Holds::stickWritten},
    // The block is stored, its acknowledgement comes after the 1 s check.
    {"StickWrite_RepliesAfterTheTimeOut", Operation::stickWrite, {"--reply-delay", "2000"}, 4,
     {"Firmware Write Error!CF", kDataBlockSuspect}, Holds::newDataUnderOldRecord},
    {"StickWrite_PulledOutDuringTheProbe", Operation::stickWrite, {"--drop-after", "1"}, 3, {"No stick found."},
     Holds::stickAsItWas},
    {"StickWrite_PulledOutBeforeTheDataBlock", Operation::stickWrite, {"--drop-after", "20"}, 4,
     {"Firmware Write Error!CF", kPulledInDataBlock}, Holds::stickAsItWas},
    {"StickWrite_PulledOutAfterTheDataBlockWasStored", Operation::stickWrite, {"--drop-after", "37"}, 4,
     {"Firmware Write Error!CF", kPulledInDataBlock}, Holds::newDataUnderOldRecord},
    {"StickWrite_PulledOutBeforeTheControlBlock", Operation::stickWrite, {"--drop-after", "38"}, 4,
     {"Firmware Write Error!CB", kPulledInControlBlock}, Holds::newDataUnderOldRecord},
    {"StickWrite_PulledOutAfterTheControlBlockWasStored", Operation::stickWrite, {"--drop-after", "55"}, 4,
     {"Firmware Write Error!CB", kPulledInControlBlock}, Holds::stickWritten},
    // Verify after write: a byte the stick stores otherwise than it acknowledges.
    {"StickWrite_DataByteStoredWrong", Operation::stickWrite, {"--flip-stored", "0x8012"}, 4,
     {"Verify failed: M3 reads back otherwise than it was written:\n  0x8012: wrote 0x"}, Holds::stickWrittenFlipped},
    {"StickWrite_RecordByteStoredWrong", Operation::stickWrite, {"--flip-stored", "0xFFA8"}, 4,
     {"Verify failed: M3 reads back otherwise than it was written:\n  0xFFA8: wrote 0x4E, read 0xB1"},
     Holds::stickWrittenFlipped},

    // stick erase: the command is not answered, the control block read back tells.
    {"StickErase_NoFault", Operation::stickErase, {}, 0, {}, Holds::stickErased},
    {"StickErase_NoAcknowledgement", Operation::stickErase, {"--no-block-ack"}, 0, {}, Holds::stickErased},
    {"StickErase_WrongAcknowledgement", Operation::stickErase, {"--ack-other-address"}, 0, {}, Holds::stickErased},
    {"StickErase_Refused", Operation::stickErase, {"--ack-status-zero"}, 0, {}, Holds::stickErased},
    {"StickErase_SlowReplies", Operation::stickErase, {"--reply-delay", "300"}, 0, {}, Holds::stickErased},
    {"StickErase_RepliesAfterTheTimeOut", Operation::stickErase, {"--reply-delay", "2000"}, 0, {},
     Holds::stickErased},
    {"StickErase_PulledOutDuringTheProbe", Operation::stickErase, {"--drop-after", "1"}, 3, {"No stick found."},
     Holds::stickAsItWas},
    {"StickErase_PulledOutBeforeTheEraseCommand", Operation::stickErase, {"--drop-after", "20"}, 4,
     {kPulledBeforeTheErase}, Holds::stickAsItWas},
    {"StickErase_PulledOutAfterTheEraseCommand", Operation::stickErase, {"--drop-after", "21"}, 4,
     {kPulledBeforeTheErase}, Holds::stickErased},

    // device write new.kdc: read, then ten Write Memory and ten Write EE frames.
    {"DeviceWrite_NoFault", Operation::deviceWrite, {}, 0, {"frame 1/20\n", "frame 20/20\n"}, Holds::deviceWritten},
    // The reply to the last Write Memory frame lost or garbled: the frame is repeated after 5 s.
    {"DeviceWrite_NoAcknowledgement", Operation::deviceWrite, {"--lose-link-ack", "10"}, 0, {}, Holds::deviceWritten},
    {"DeviceWrite_WrongAcknowledgement", Operation::deviceWrite, {"--wrong-link-ack", "10"}, 0, {},
     Holds::deviceWritten},
    {"DeviceWrite_Refused5Times", Operation::deviceWrite, {"--refuse-write-memory", "5"}, 0, {}, Holds::deviceWritten},
    {"DeviceWrite_Refused6Times", Operation::deviceWrite, {"--refuse-write-memory", "6"}, 4,
     {"Transfer Error!\nThe device confirmed no frame; the Write Memory frame for bytes 0 to 24 may or may not have "
      "been carried out; Write Memory frames for bytes 25 to 249 were not sent."}, Holds::deviceAsItWas},
    {"DeviceWrite_CorruptedRead", Operation::deviceWrite, {"--corrupt-read-at", "26"}, 4,
     {"Reading the device failed."}, Holds::deviceAsItWas},
    {"DeviceWrite_SlowReplies", Operation::deviceWrite, {"--reply-delay", "300"}, 0,
     {"frame 1/20\n", "frame 20/20\n"}, Holds::deviceWritten},
    {"DeviceWrite_RepliesAfterTheTimeOut", Operation::deviceWrite, {"--reply-delay", "10000"}, 4, {kNoLinkReply},
     Holds::deviceAsItWas},
    {"DeviceWrite_PulledOutDuringTheProbe", Operation::deviceWrite, {"--drop-after", "1"}, 3, {"No stick found."},
     Holds::deviceAsItWas},
    {"DeviceWrite_PulledOutBeforeTheFirstFrame", Operation::deviceWrite, {"--drop-after", "24"}, 4,
     {"Transfer Error!\nThe stick was pulled out.\nThe device confirmed no frame"}, Holds::deviceAsItWas},
    {"DeviceWrite_PulledOutAfterTheFirstFrame", Operation::deviceWrite, {"--drop-after", "26"}, 4,
     {"Transfer Error!\nThe stick was pulled out.\nThe device confirmed bytes 0 to 24; the Write Memory frame for "
      "bytes 25 to 49 may or may not have been carried out; Write Memory frames for bytes 50 to 249 were not sent. "
      "Writing the whole file again recovers."}, Holds::deviceFirstFrameOnly},
    {"DeviceWrite_Verified", Operation::deviceWriteVerified, {}, 0, {"frame 20/20\n", ", verified\n"},
     Holds::deviceWritten},
    {"DeviceWrite_ByteStoredWrong", Operation::deviceWriteVerified, {"--flip-stored", "20"}, 4,
     {"reads back otherwise than it was written:\n  0x14: wrote 0x"}, Holds::deviceWrittenFlipped},
    {"DeviceWrite_PulledOutBeforeTheLastReply", Operation::deviceWrite, {"--drop-after", "63"}, 4,
     {"The device confirmed bytes 0 to 249 and the Write EE frames for bytes 0 to 107; the Write EE frame for bytes "
      "108 to 119 may or may not have been carried out."}, Holds::deviceWritten},

    // device update-fw fw.kdp: two pages of FW 1.77 to a device on FW 1.70. A page is
    // never repeated: one refusal ends the update.
    {"DeviceUpdateFw_NoFault", Operation::deviceUpdateFw, {}, 0,
     {"page 1/2\npage 2/2\nFW Update finished.\nThe device announces FW 1.77.\n"}, Holds::firmwareUpdated},
    {"DeviceUpdateFw_NoAcknowledgement", Operation::deviceUpdateFw, {"--lose-link-ack", "1"}, 4,
     {"The device stopped answering at firmware page 1 of 2: page 1 may or may not have been stored."},
     Holds::firmwareAsItWas},
    {"DeviceUpdateFw_WrongAcknowledgement", Operation::deviceUpdateFw, {"--wrong-link-ack", "1"}, 4,
     {"The device stopped answering at firmware page 1 of 2: page 1 may or may not have been stored."},
     Holds::firmwareAsItWas},
    {"DeviceUpdateFw_Refused", Operation::deviceUpdateFw, {"--refuse-page", "0"}, 4,
     {"The device refused firmware page 1 of 2."}, Holds::firmwareAsItWas},
    {"DeviceUpdateFw_CorruptedRead", Operation::deviceUpdateFw, {"--corrupt-read-at", "26"}, 4,
     {"Reading the device failed."}, Holds::firmwareAsItWas},
    {"DeviceUpdateFw_SlowReplies", Operation::deviceUpdateFw, {"--reply-delay", "300"}, 0,
     {"page 1/2\npage 2/2\nFW Update finished.\n"}, Holds::firmwareUpdated},
    {"DeviceUpdateFw_RepliesAfterTheTimeOut", Operation::deviceUpdateFw, {"--reply-delay", "10000"}, 4,
     {kNoLinkReply}, Holds::firmwareAsItWas},
    {"DeviceUpdateFw_PulledOutDuringTheProbe", Operation::deviceUpdateFw, {"--drop-after", "1"}, 3,
     {"No stick found."}, Holds::firmwareAsItWas},
    {"DeviceUpdateFw_PulledOutBeforeTheFirstReset", Operation::deviceUpdateFw, {"--drop-after", "24"}, 4,
     {"The stick was pulled out before the device came back from the Reset that starts the update: no firmware "
      "page was sent."}, Holds::firmwareAsItWas},
    {"DeviceUpdateFw_PulledOutBeforeTheFirstPage", Operation::deviceUpdateFw, {"--drop-after", "26"}, 4,
     {"The stick was pulled out at firmware page 1 of 2: page 1 may or may not have been stored."},
     Holds::firmwareAsItWas},
    {"DeviceUpdateFw_PulledOutAfterTheFirstPage", Operation::deviceUpdateFw, {"--drop-after", "32"}, 4,
     {"The stick was pulled out at firmware page 2 of 2: page 2 may or may not have been stored."},
     Holds::firmwareFirstPageOnly},
    {"DeviceUpdateFw_PulledOutAfterTheLastPage", Operation::deviceUpdateFw, {"--drop-after", "38"}, 4,
     {kPulledBeforeTheConfirmation}, Holds::firmwareNotReset},
    {"DeviceUpdateFw_PulledOutAfterTheReset", Operation::deviceUpdateFw, {"--drop-after", "39"}, 4,
     {kPulledBeforeTheConfirmation}, Holds::firmwareUpdated},
    {"DeviceUpdateFw_DeviceKeepsItsFirmware", Operation::deviceUpdateFw, {"--fw-after-update", "70"}, 4,
     {"All 2 pages were acknowledged and the device was reset, but it announces FW 1.70, not FW 1.77: the update is "
      "not confirmed."}, Holds::firmwareNotTaken},
    {"DeviceUpdateFw_NoDeviceAfterTheFirstReset", Operation::deviceUpdateFw, {"--lose-reply", "_:2"}, 4,
     {"The device did not come back from the Reset that starts the update within 10 s: no firmware page was sent."},
     Holds::firmwareAsItWas},

    // update-fw broken off, then run again: the device must end with exactly the two pages.
    {"DeviceUpdateFwTwice_PageAnswerLost", Operation::deviceUpdateFwTwice, {"--lose-reply", "Z:1"}, 4,
     {"The device stopped answering at firmware page 1 of 2: page 1 may or may not have been stored."},
     Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_SegmentAnswerLost", Operation::deviceUpdateFwTwice, {"--lose-reply", "X:3"}, 4,
     {"The device stopped answering at firmware page 2 of 2: page 2 may or may not have been stored."},
     Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_LastPageAnswerLost", Operation::deviceUpdateFwTwice, {"--lose-reply", "Z:2"}, 4,
     {"The device stopped answering at firmware page 2 of 2: page 2 may or may not have been stored."},
     Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_PageAnswerForASegment", Operation::deviceUpdateFwTwice, {"--swap-xz", "2"}, 4,
     {"The device answered segment 2 of firmware page 1 of 2 with 'Z', which answers segment 3 only: the update was "
      "stopped."}, Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_SegmentAnswerForAPage", Operation::deviceUpdateFwTwice, {"--swap-xz", "3"}, 4,
     {"The device answered segment 3 of firmware page 1 of 2 with 'X', which answers segments 1 and 2 only: the "
      "update was stopped."}, Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_PulledOutMidUpdate", Operation::deviceUpdateFwTwice, {"--drop-after", "32"}, 4,
     {"The stick was pulled out at firmware page 2 of 2"}, Holds::firmwareUpdated},
    {"DeviceUpdateFwTwice_PulledOutAfterTheLastPage", Operation::deviceUpdateFwTwice, {"--drop-after", "38"}, 4,
     {kPulledBeforeTheConfirmation}, Holds::firmwareUpdated},
};
// clang-format on

constexpr std::uint16_t kFirmwareSize = 100; // two pages of 72 bytes
constexpr Byte kNewFirmware = 77;            // what the simulated device runs after an update
constexpr int kMemory = 3;

EeBlock patternImage(int factor, int offset)
{
    EeBlock image = makeDefaultImage();
    for (std::size_t i = 0; i < kStoredImageBytes; ++i)
        image[i] = static_cast<Byte>(i * factor + offset);
    return image;
}

// The configuration of new.kdc as the commands load it.
EeBlock newImage()
{
    return loadConfiguration(saveConfiguration(patternImage(3, 1), "New"), makeDefaultImage(), {}).image;
}

// The firmware buffer of fw.kdp; the update sends its first two pages.
Bytes firmwareBuffer()
{
    Bytes buffer(kFirmwareBufferSize, 0xFF);
    const Bytes lines = test::firmwareLineBytes(kFirmwareSize);
    std::copy(lines.begin(), lines.end(), buffer.begin());
    return buffer;
}

// M1 "First" and M3 "Old" hold configurations; the device holds a counting pattern.
sim::StickState initialState()
{
    sim::StickState state;
    EXPECT_EQ(sim::presetMemory(state, 1, patternImage(7, 2), "First"), "");
    EXPECT_EQ(sim::presetMemory(state, kMemory, patternImage(5, 0), "Old"), "");
    for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
        state.deviceMemory[i] = static_cast<Byte>(255 - i);
    return state;
}

class FaultMatrix : public testing::TestWithParam<Cell> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ormid-fm-XXXXXX"; // short: a socket path has room for 107 characters
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ASSERT_EQ(sim::saveStickState(folder_ / "stick.state", initial_), "");
        ASSERT_TRUE(writeFileAtomically(folder_ / "new.kdc", saveConfiguration(patternImage(3, 1), "New")).ok());
        const Bytes lines = test::firmwareLineBytes(kFirmwareSize);
        ASSERT_TRUE(
            writeFileAtomically(folder_ / "fw.kdp", test::firmwareText(lines, kFirmwareSize, kNewFirmware)).ok());
    }
    void TearDown() override
    {
        stopSimulator();
        fs::remove_all(folder_);
    }

    std::string path(const char* name) const { return (folder_ / name).string(); }

    void startSimulator(Operation operation, const std::vector<std::string>& faults)
    {
        std::vector<std::string> args = {"--socket", path("stick.sock"), "--state", path("stick.state")};
        const bool usb = operation != Operation::stickWrite && operation != Operation::stickErase;
        const std::string identifyPeriod = operation == Operation::deviceWriteVerified ? "300" : "0";
        const std::vector<std::string> mode = usb
            ? std::vector<std::string>{"--mode", "usb", "--identify-period", identifyPeriod, "--device-fw", "70"}
            : std::vector<std::string>{"--mode", "memory"};
        args.insert(args.end(), mode.begin(), mode.end());
        args.insert(args.end(), faults.begin(), faults.end());
        simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim", args, {}, folder_ / "sim.out");
        ASSERT_GT(simulator_, 0);
        ASSERT_TRUE(
            test::awaitCondition([&] { return fs::is_socket(folder_ / "stick.sock"); }, std::chrono::seconds(10)))
            << output("sim.out");
    }
    // Ends the simulator as Ctrl-C would; its exit code.
    int stopSimulator()
    {
        if (simulator_ <= 0)
            return -1;
        ::kill(simulator_, SIGTERM);
        const int status = test::awaitExit(simulator_);
        simulator_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs the operation's ormid-cli command against the simulator, its output into
    // `out`; its exit code.
    int runCli(Operation operation, const char* out = "cli.out")
    {
        const std::vector<std::string> args[] = {
            {"stick", "write", "M3", path("new.kdc")},
            {"stick", "erase"},
            {"device", "write", path("new.kdc"), "--no-verify"},
            {"device", "update-fw", path("fw.kdp")},
            {"device", "write", path("new.kdc")},
            {"device", "update-fw", path("fw.kdp")},
        };
        const pid_t cli = test::spawnProcess(test::kBinDir + "/ormid-cli", args[static_cast<int>(operation)],
                                             {{"ORMID_HID_BRIDGE", path("stick.sock")}}, folder_ / out);
        const int status = test::awaitExit(cli);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output(const char* name) const { return readWholeFile(folder_ / name).bytes; }

    // What the stick or the device should hold for the cell.
    void expectHolds(const Cell& cell, const sim::StickState& state) const
    {
        sim::StickState expected = initial_;
        const EeBlock image = newImage();
        switch (cell.holds) {
        case Holds::stickWritten:
            ASSERT_EQ(sim::presetMemory(expected, kMemory, image, "New"), "");
            break;
        case Holds::stickWrittenFlipped:
            ASSERT_EQ(sim::presetMemory(expected, kMemory, image, "New"), "");
            expected.memory[flippedAddress(cell)] ^= 0xFF;
            break;
        case Holds::deviceWrittenFlipped:
            std::copy_n(image.begin(), kStoredImageBytes, expected.deviceMemory.begin());
            expected.deviceMemory[flippedAddress(cell)] ^= 0xFF;
            break;
        case Holds::newDataUnderOldRecord:
            sim::writeStickBlock(expected, dataBlockAddress(kMemory), *buildDataBlock(image));
            break;
        case Holds::stickErased:
            for (int n = 1; n <= kMemoryCount; ++n) {
                const MemoryRecord record = readMemoryRecord(sim::readStickBlock(state, kControlBlockAddress), n);
                EXPECT_FALSE(record.isValid(false) || record.isValid(true)) << "M" << n;
            }
            EXPECT_FALSE(state.remote);
            return;
        case Holds::deviceWritten:
            std::copy_n(image.begin(), kStoredImageBytes, expected.deviceMemory.begin());
            break;
        case Holds::deviceFirstFrameOnly:
            std::copy_n(image.begin(), kWriteMemoryChunk, expected.deviceMemory.begin());
            break;
        case Holds::stickAsItWas:
        case Holds::deviceAsItWas:
            break;
        case Holds::firmwareAsItWas:
        case Holds::firmwareUpdated:
        case Holds::firmwareFirstPageOnly:
        case Holds::firmwareNotTaken:
        case Holds::firmwareNotReset:
            expectFirmware(cell.holds, state);
            return;
        }
        EXPECT_EQ(state.memory, expected.memory) << "the stick's memory";
        EXPECT_EQ(state.deviceMemory, expected.deviceMemory);
    }

    // The address the cell's --flip-stored names.
    static std::size_t flippedAddress(const Cell& cell)
    {
        const auto option = std::find(cell.faults.begin(), cell.faults.end(), "--flip-stored");
        EXPECT_NE(option, cell.faults.end());
        return option == cell.faults.end() ? 0 : std::stoul(*std::next(option), nullptr, 0);
    }

    static void expectFirmware(Holds holds, const sim::StickState& state)
    {
        const std::size_t pages = holds == Holds::firmwareAsItWas ? 0 : holds == Holds::firmwareFirstPageOnly ? 1 : 2;
        const Bytes buffer = firmwareBuffer();
        EXPECT_EQ(state.receivedFirmware, Bytes(buffer.begin(), buffer.begin() + pages * kPageBytes));
        EXPECT_EQ(state.deviceFirmware, holds == Holds::firmwareUpdated ? kNewFirmware : 70);
    }

    static constexpr const char* kSuccess[] = {
        "Wrote ", "Erased all memories; the stick is now a local stick.",
        "Wrote ", "FW Update finished.",
        "Wrote ", "FW Update finished.",
    };

    const sim::StickState initial_ = initialState();
    fs::path folder_;
    pid_t simulator_ = -1;
};

TEST_P(FaultMatrix, LeavesWhatTheMessageSays)
{
    const Cell& cell = GetParam();
    startSimulator(cell.operation, cell.faults);
    const int code = runCli(cell.operation);
    if (cell.operation == Operation::deviceUpdateFwTwice) {
        EXPECT_EQ(runCli(cell.operation, "again.out"), 0) << output("again.out");
        EXPECT_NE(output("again.out").find("FW Update finished.\nThe device announces FW 1.77.\n"), std::string::npos)
            << output("again.out");
    }
    EXPECT_EQ(stopSimulator(), 0) << "the simulator saved every change: " << output("sim.out");

    const std::string out = output("cli.out");
    EXPECT_EQ(code, cell.exitCode) << out;
    for (const std::string& message : cell.messages)
        EXPECT_NE(out.find(message), std::string::npos) << "missing: " << message << "\nin:\n" << out;
    EXPECT_EQ(out.find(kSuccess[static_cast<int>(cell.operation)]) != std::string::npos, cell.exitCode == 0) << out;

    const sim::StateFileResult state = sim::loadStickState(folder_ / "stick.state");
    ASSERT_TRUE(state.ok()) << state.error;
    expectHolds(cell, state.state);
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, testing::ValuesIn(kCells),
                         [](const testing::TestParamInfo<Cell>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ormid
