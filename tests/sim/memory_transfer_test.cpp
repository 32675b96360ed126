// "Transfer", erase and go-remote against the simulated stick.

#include "link/memory_transfer.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "core/crc16.h"
#include "core/data_block.h"
#include "core/remote_frames.h"
#include "link/embedded_firmware.h"
#include "link/firmware_image.h"
#include "link/firmware_text.h"
#include "link/stick_probe.h"
#include "sim/lost_acknowledgement.h"
#include "sim/pattern_image.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h"

namespace ormid::sim {
namespace {

// A stick whose M1 and M2 hold configurations named "First" and "Old".
StickState presetState(bool remote)
{
    StickState state;
    state.remote = remote;
    EXPECT_EQ(presetMemory(state, 1, test::patternImage(1), "First"), "");
    EXPECT_EQ(presetMemory(state, 2, test::patternImage(2), "Old"), "");
    return state;
}

class MemoryTransferOnStick : public ::testing::Test {
protected:
    void start(StickState state, Faults faults = {})
    {
        initial_ = state;
        model_.emplace(StickConfig{}, faults, std::move(state));
        model_->onBlockStored([this](std::uint16_t address, const Block&) { storedAddresses_.push_back(address); });
        transport_.emplace(*model_, clock_);
    }

    ControlBlock stickControlBlock() const { return readStickBlock(model_->state(), kControlBlockAddress); }

    MemoryTransferRequest request(int memory, const EeBlock& image, std::string info) const
    {
        MemoryTransferRequest r;
        r.controlBlock = readStickBlock(initial_, kControlBlockAddress);
        r.memory = memory;
        r.image = image;
        r.infoText = std::move(info);
        r.remoteMode = initial_.remote;
        return r;
    }

    MemoryTransferResult transfer(const MemoryTransferRequest& r) { return transferMemory(*transport_, waiter_, r); }

    StickState initial_;
    VirtualClock clock_;
    VirtualWaiter waiter_{clock_};
    std::optional<StickModel> model_;
    std::vector<std::uint16_t> storedAddresses_;
    std::optional<SimTransport> transport_;
};

TEST_F(MemoryTransferOnStick, AWrittenMemoryReadsBackAsTheSameImage)
{
    start(presetState(false));
    const EeBlock image = test::patternImage(0x40);
    const auto result = transfer(request(2, image, "New"));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.controlBlock, stickControlBlock());

    const MemoryRecord record = readMemoryRecord(stickControlBlock(), 2);
    ASSERT_TRUE(record.isValid(false));
    const BlockRead read = readBlock(*transport_, waiter_, record.dataAddress());
    ASSERT_EQ(read.status, BlockReadStatus::read);
    EeBlock back = makeDefaultImage();
    ASSERT_EQ(copyDataBlockToImage(read.block, record.length, back), DataBlockWalk::copied);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 96, back.begin()));
    EXPECT_EQ(readMemoryRecord(stickControlBlock(), 1).name(), "First   ") << "other memories stay";
}

TEST_F(MemoryTransferOnStick, M3GoesTo0x8000WithBlockNumber0x0100)
{
    start(presetState(false));
    const EeBlock image = test::patternImage(7);
    ASSERT_TRUE(transfer(request(3, image, "Third")).ok());

    EXPECT_EQ(readStickBlock(model_->state(), 0x8000), *buildDataBlock(image));
    const MemoryRecord record = readMemoryRecord(stickControlBlock(), 3);
    EXPECT_EQ(record.signature, kLocalSignature);
    EXPECT_EQ(record.status, 0);
    EXPECT_EQ(record.length, kStoredLength);
    EXPECT_EQ(record.blockNumber, 0x0100);
}

TEST_F(MemoryTransferOnStick, TheInfoTextNamesTheMemoryOrLeavesItsName)
{
    const struct {
        const char* info;
        const char* name;
    } cases[] = {
        {"", "Old     "},
        {"Park", "Park    "},
        {"Longer than eight", "Longer t"},
    };
    for (const auto& c : cases) {
        start(presetState(false));
        ASSERT_TRUE(transfer(request(2, test::patternImage(9), c.info)).ok()) << c.info;
        EXPECT_EQ(readMemoryRecord(stickControlBlock(), 2).name(), c.name) << c.info;
    }
}

TEST_F(MemoryTransferOnStick, TheCurveCorrectionChangesOnlyWhatALocalStickReceives)
{
    for (const bool remote : {false, true}) {
        start(presetState(remote));
        const EeBlock image = test::patternImage(3);
        auto r = request(4, image, "C");
        r.curveCorrection = [](EeBlock& corrected) { corrected[10] = 0xEE; };
        ASSERT_TRUE(transfer(r).ok());
        EeBlock expected = image;
        if (!remote)
            expected[10] = 0xEE;
        EXPECT_EQ(readStickBlock(model_->state(), dataBlockAddress(4)), *buildDataBlock(expected)) << remote;
        EXPECT_EQ(r.image, image) << "the caller's image is kept";
    }
}

TEST_F(MemoryTransferOnStick, AFailedWriteLeavesTheControlBlockAsItWas)
{
    const struct {
        const char* name;
        Faults faults;
        bool remote;
        TransferStep step;
        BlockWriteResult write;
        bool waitsOutTheCheck;
        // clang-format off
    } cases[] = {
        {"no acknowledgement", {.neverAckBlockWrite = true}, false, TransferStep::dataBlock,
         BlockWriteResult::noAcknowledgement, true},
        {"other address", {.ackOtherAddress = true}, false, TransferStep::dataBlock, BlockWriteResult::wrongAddress,
         false},
        {"status 0", {.ackStatusZero = true}, false, TransferStep::dataBlock, BlockWriteResult::refused, false},
        {"dropped mid data block", {.dropAfterReports = 8}, false, TransferStep::dataBlock,
         BlockWriteResult::noAcknowledgement, true},
        {"dropped mid remote-frame block", {.dropAfterReports = 26}, true, TransferStep::remoteFrameBlock,
         BlockWriteResult::noAcknowledgement, true},
        {"dropped mid control block", {.dropAfterReports = 26}, false, TransferStep::controlBlock,
         BlockWriteResult::noAcknowledgement, true},
    };
    // clang-format on
    // A block write is 18 reports (command, 16 data reports, acknowledgement): a drop
    // after 26 falls into the second block.
    for (const auto& c : cases) {
        start(presetState(c.remote), c.faults);
        waiter_.sleeps = 0;
        const auto r = request(2, test::patternImage(0x30), "Lost");
        const auto result = transfer(r);

        EXPECT_EQ(result.status, MemoryTransferResult::Status::writeFailed) << c.name;
        ASSERT_TRUE(result.failedStep) << c.name;
        EXPECT_EQ(*result.failedStep, c.step) << c.name;
        EXPECT_EQ(transferErrorCode(*result.failedStep), c.step == TransferStep::controlBlock ? "CB" : "CF") << c.name;
        EXPECT_EQ(result.write, c.write) << c.name;
        EXPECT_EQ(stickControlBlock(), readStickBlock(initial_, kControlBlockAddress)) << c.name;
        EXPECT_EQ(r.controlBlock, readStickBlock(initial_, kControlBlockAddress)) << c.name;
        if (c.waitsOutTheCheck)
            EXPECT_GE(waiter_.sleeps, kAcknowledgementCycles) << c.name;
        else
            EXPECT_LT(waiter_.sleeps, 10) << c.name << ": an acknowledgement decides at once";
    }
}

TEST_F(MemoryTransferOnStick, ARemoteStickGetsItsSignatureTxStatusAndRemoteFrameBlock)
{
    start(presetState(true));
    auto r = request(3, test::patternImage(5), "Rem");
    r.txStatus = 0x15;
    ASSERT_TRUE(transfer(r).ok());

    const MemoryRecord record = readMemoryRecord(stickControlBlock(), 3);
    EXPECT_EQ(record.signature, kRemoteSignature);
    EXPECT_EQ(record.status, 0x15);
    EXPECT_EQ(record.blockNumber, 0x0100);
    EXPECT_EQ(record.name(), "Rem     ");

    const Block frames = readStickBlock(model_->state(), 0x8080);
    const std::uint16_t crc = crc16(ByteSpan(frames.data(), kRemoteFramesSize));
    const std::vector<Byte> chosen = encodeRemoteFrames(test::patternImage(5), 0x15);
    EXPECT_EQ(storedAddresses_,
              (std::vector<std::uint16_t>{dataBlockAddress(3), remoteBlockAddress(3), kControlBlockAddress}))
        << "the stick reports every block it stores";
    ASSERT_FALSE(chosen.empty());
    EXPECT_TRUE(std::equal(chosen.begin(), chosen.end(), frames.begin())) << "the frames the Tx boxes choose";
    EXPECT_TRUE(std::all_of(frames.begin() + static_cast<std::ptrdiff_t>(chosen.size()), frames.begin() + 66,
                            [](Byte b) { return b == 0; }));
    EXPECT_EQ(frames[66], crc & 0xFF);
    EXPECT_EQ(frames[67], crc >> 8);
    EXPECT_TRUE(std::all_of(frames.begin() + 68, frames.end(), [](Byte b) { return b == 0; }));
}

TEST_F(MemoryTransferOnStick, EraseAndGoRemoteSwitchTheModeAndClearTheMemories)
{
    for (const bool toRemote : {false, true}) {
        for (const bool fromRemote : {false, true}) {
            start(presetState(fromRemote));
            eraseStick(*transport_, toRemote);

            StickProbe probe;
            ASSERT_EQ(runStickProbe(probe, *transport_, waiter_), ProbeResult::memoryMode);
            EXPECT_EQ(probe.remoteMode(), toRemote);
            for (int n = 1; n <= kMemoryCount; ++n)
                for (const bool remoteMode : {false, true})
                    EXPECT_FALSE(readMemoryRecord(probe.controlBlock(), n).isValid(remoteMode)) << n;
        }
    }
}

class FirmwareStoreOnStick : public MemoryTransferOnStick {
protected:
    // The stick's memory from address 0x0200 over `bytes` bytes.
    std::vector<Byte> storedFirmware(std::size_t bytes) const
    {
        const auto at = model_->state().memory.begin() + 0x0200;
        return {at, at + static_cast<std::ptrdiff_t>(bytes)};
    }

    static PendingFirmware pending(const std::vector<Byte>& lineBytes, std::uint16_t size, Byte version)
    {
        FirmwareImage firmware;
        EXPECT_TRUE(loadFirmwareFile(firmware, test::firmwareText(lineBytes, size, version), false).hint);
        return {firmware.fwImage, firmware.fwSize, firmware.fwVersion};
    }
};

TEST_F(FirmwareStoreOnStick, Size5704Takes45BlocksWithFfFromTheSizeOn)
{
    start(presetState(false));
    // The last line's fill is 00 in the container; the stick must still get FF there.
    const std::vector<Byte> lineBytes = test::firmwareLineBytes(5704, 0x00);
    auto r = request(2, test::patternImage(4), "");
    r.firmware = pending(lineBytes, 5704, 0x4D);
    const auto result = transfer(r);

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.firmware, FirmwareStore::stored);
    const std::vector<Byte> stored = storedFirmware(46 * 128);
    EXPECT_TRUE(std::equal(lineBytes.begin(), lineBytes.begin() + 5704, stored.begin()));
    EXPECT_TRUE(std::all_of(stored.begin() + 5704, stored.begin() + 5760, [](Byte b) { return b == 0xFF; }));
    EXPECT_EQ(readStickBlock(model_->state(), firmwareBlockAddress(45)),
              readStickBlock(initial_, firmwareBlockAddress(45)))
        << "no 46th block";
    const ControlBlock control = stickControlBlock();
    const std::vector<Byte> record(control.begin() + 64, control.begin() + 72);
    EXPECT_EQ(record, (std::vector<Byte>{0x8A, 0x65, 0xC1, 0x4D, 0x48, 0x16, 0x04, 0x00}));
    EXPECT_EQ(stickFirmwareVersion(control), 0x4D);
    EXPECT_EQ(readMemoryRecord(control, 2).signature, kLocalSignature) << "the memory record is written as well";
}

TEST_F(FirmwareStoreOnStick, AStickWithoutFirmwareRecordGetsTheBuiltInImageWithTheNextTransfer)
{
    start(presetState(false));
    FirmwareImage firmware;
    firmware.stickFwVersion = stickFirmwareVersion(stickControlBlock());
    ASSERT_EQ(firmware.stickFwVersion, 0);
    ASSERT_TRUE(loadEmbeddedFirmware(firmware, embeddedFirmwareContainer(), false));
    ASSERT_TRUE(firmware.fwPending);

    auto r = request(1, test::patternImage(6), "");
    r.firmware = PendingFirmware{firmware.fwImage, firmware.fwSize, firmware.fwVersion};
    ASSERT_TRUE(transfer(r).ok());

    EXPECT_EQ(stickFirmwareVersion(stickControlBlock()), firmware.fwVersion);
    EXPECT_EQ(readFirmwareRecord(stickControlBlock()).size, firmware.fwSize);
    const std::vector<Byte> stored = storedFirmware(firmware.fwSize);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), firmware.fwImage.begin()));
}

TEST_F(FirmwareStoreOnStick, AFailedFirmwareBlockStillWritesTheControlBlockWithTheRecordUnchanged)
{
    start(presetState(false));
    test::LostAcknowledgement lossy(*transport_, firmwareBlockAddress(3));
    auto r = request(2, test::patternImage(8), "Kept");
    r.firmware = pending(test::firmwareLineBytes(1000), 1000, 0x50);
    const auto result = transferMemory(lossy, waiter_, r);

    ASSERT_TRUE(result.ok()) << "the Transfer goes on after the firmware";
    EXPECT_EQ(result.firmware, FirmwareStore::failed);
    EXPECT_EQ(result.firmwareWrite, BlockWriteResult::noAcknowledgement);
    const ControlBlock control = stickControlBlock();
    EXPECT_EQ(std::vector<Byte>(control.begin() + 64, control.end()),
              std::vector<Byte>(r.controlBlock.begin() + 64, r.controlBlock.end()))
        << "firmware record and the bytes after it as read";
    EXPECT_EQ(readMemoryRecord(control, 2).name(), "Kept    ");
    EXPECT_EQ(readStickBlock(model_->state(), firmwareBlockAddress(4)),
              readStickBlock(initial_, firmwareBlockAddress(4)))
        << "the store stops at the failed block";
}

TEST_F(FirmwareStoreOnStick, ARemoteStickNeverStoresFirmware)
{
    start(presetState(true));
    auto r = request(1, test::patternImage(2), "");
    r.firmware = pending(test::firmwareLineBytes(300), 300, 3);
    const auto result = transfer(r);

    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.firmware, FirmwareStore::nothingPending);
    EXPECT_EQ(readStickBlock(model_->state(), firmwareBlockAddress(0)),
              readStickBlock(initial_, firmwareBlockAddress(0)));
    EXPECT_EQ(stickFirmwareVersion(stickControlBlock()), 0);
}

} // namespace
} // namespace ormid::sim
