// The memory-mode sequences over scripted replies: the start-up probe, block reads
// and writes, "Transfer" into a memory (with a firmware image to store), erase and
// go-remote. Whatever the stick answers: no wait runs for ever, and "Transfer" writes
// the control block last and only after everything before it was acknowledged.

#include <algorithm>
#include <string>

#include "fuzz_input.h"
#include "link/block_transfer.h"
#include "link/firmware_container.h"
#include "link/memory_transfer.h"
#include "link/stick_probe.h"
#include "scripted_stick.h"

namespace ormid::fuzz {
namespace {

void probe(ScriptedStick& stick, NoWaiter& waiter)
{
    const bool presentAtStart = stick.present;
    StickProbe probe;
    const ProbeResult result = runStickProbe(probe, stick, waiter);
    FUZZ_CHECK(probe.finished() && result != ProbeResult::pending);
    FUZZ_CHECK(presentAtStart || result == ProbeResult::noStick);
    FUZZ_CHECK(waiter.sleeps <= StickProbe::kModeQueryTicks + StickProbe::kControlBlockCycles);
}

void readOne(ScriptedStick& stick, NoWaiter& waiter, FuzzInput& script)
{
    int cycles = 0;
    const BlockRead read = readBlock(stick, waiter, script.u16(), [&](int cycle) { cycles = cycle + 1; });
    FUZZ_CHECK(cycles <= kBlockReadCycles);
    FUZZ_CHECK(!describe(read.status).empty());
}

void writeOne(ScriptedStick& stick, NoWaiter& waiter, FuzzInput& script)
{
    const std::uint16_t address = script.u16();
    Block block;
    block.fill(script.byte());
    const BlockWriteResult result = writeBlock(stick, waiter, address, block);
    // "Written" only on an acknowledgement that names this block.
    if (succeeded(result)) {
        const std::optional<WriteAcknowledgement> ack = parseWriteAcknowledgement(stick.handedOut.back());
        FUZZ_CHECK(ack && ack->confirms(address));
    }
}

void transfer(ScriptedStick& stick, NoWaiter& waiter, FuzzInput& script)
{
    MemoryTransferRequest request;
    request.memory = static_cast<int>(script.pick(6));
    request.remoteMode = script.flag();
    request.txStatus = script.byte();
    request.image = makeDefaultImage();
    request.image.resize(script.pick(3) == 0 ? kStoredImageBytes - 1 : kImageSize, 0x11);
    request.controlBlock.fill(0xFF);
    const std::vector<Byte> control = script.bytes(script.pick(kBlockSize + 1));
    std::copy(control.begin(), control.end(), request.controlBlock.begin());
    request.infoText = script.text(script.pick(12));
    if (script.flag()) {
        const std::uint16_t size = script.u16() % (4 * kBlockSize);
        request.firmware = PendingFirmware{std::vector<Byte>(kFirmwareBufferSize, 0x3C), size, script.byte()};
    }
    bool toldOfFailedStore = false;
    request.firmwareStoreFailed = [&](BlockWriteResult) { toldOfFailedStore = true; };

    stick.written.clear();
    const MemoryTransferResult result = transferMemory(stick, waiter, request);
    const std::vector<std::uint16_t> writes = stick.blockWrites();
    const bool controlWritten = std::find(writes.begin(), writes.end(), kControlBlockAddress) != writes.end();

    if (result.status == MemoryTransferResult::Status::invalidRequest) {
        FUZZ_CHECK(stick.written.empty());
        return;
    }
    FUZZ_CHECK(!writes.empty() && writes.front() == dataBlockAddress(request.memory));
    FUZZ_CHECK(toldOfFailedStore == (result.firmware == FirmwareStore::failed));
    FUZZ_CHECK(!request.remoteMode || result.firmware == FirmwareStore::nothingPending);
    if (!result.ok()) {
        FUZZ_CHECK(result.failedStep.has_value());
        // A failed data or remote-frame block leaves the control block as it was.
        FUZZ_CHECK(controlWritten == (*result.failedStep == TransferStep::controlBlock));
        return;
    }
    FUZZ_CHECK(writes.back() == kControlBlockAddress);
    FUZZ_CHECK(std::count(writes.begin(), writes.end(), kControlBlockAddress) == 1);
    const MemoryRecord record = readMemoryRecord(result.controlBlock, request.memory);
    FUZZ_CHECK(record.isValid(request.remoteMode) && record.length == kStoredLength);
    // The firmware record names an image only when the whole image was stored.
    const FirmwareRecord firmware = readFirmwareRecord(result.controlBlock);
    if (result.firmware == FirmwareStore::stored)
        FUZZ_CHECK(firmware.isValid() && firmware.size == request.firmware->size);
    else
        FUZZ_CHECK(std::equal(result.controlBlock.begin() + kFirmwareRecordOffset, result.controlBlock.end(),
                              request.controlBlock.begin() + kFirmwareRecordOffset));
}

void erase(ScriptedStick& stick, FuzzInput& script)
{
    const bool remote = script.flag();
    stick.written.clear();
    eraseStick(stick, remote);
    const MemoryCommand expected = remote ? goRemoteCommand() : eraseCommand();
    FUZZ_CHECK(stick.written.size() == 1 && std::equal(expected.begin(), expected.end(), stick.written[0].begin()));
}

} // namespace
} // namespace ormid::fuzz

// Input: a script of operations (probe, read a block, write a block, Transfer, erase),
// each with its arguments, and the stick's replies taken from the same script.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid::fuzz;
    FuzzInput script(data, size);
    ScriptedStick stick(script);
    NoWaiter waiter;
    while (!script.empty()) {
        waiter.sleeps = 0;
        switch (script.pick(5)) {
        case 0:
            probe(stick, waiter);
            break;
        case 1:
            readOne(stick, waiter, script);
            break;
        case 2:
            writeOne(stick, waiter, script);
            break;
        case 3:
            transfer(stick, waiter, script);
            break;
        default:
            erase(stick, script);
            break;
        }
    }
    return 0;
}
