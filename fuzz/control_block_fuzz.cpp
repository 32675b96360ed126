// The stick's control block: every record read from any 128 bytes writes back to
// the same bytes, and each change touches its own record and nothing else.

#include <algorithm>
#include <string>

#include "core/memories.h"
#include "fuzz_input.h"
#include "link/control_block.h"

namespace ormid::fuzz {
namespace {

// True when `a` and `b` differ at most in bytes from .. from + count - 1.
bool onlyChanged(const ControlBlock& a, const ControlBlock& b, std::size_t from, std::size_t count)
{
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((i < from || i >= from + count) && a[i] != b[i])
            return false;
    return true;
}

void checkReadWriteIdentity(const ControlBlock& block, bool remoteMode)
{
    for (int n = -1; n <= kMemoryCount + 1; ++n) {
        const MemoryRecord record = readMemoryRecord(block, n);
        ControlBlock copy = block;
        FUZZ_CHECK(writeMemoryRecord(copy, n, record) == isMemorySlot(n));
        FUZZ_CHECK(copy == block);
        const TMemory memory = memoryFromRecord(record, remoteMode);
        FUZZ_CHECK(memory.empty == !record.isValid(remoteMode));
        const std::string shown = displayName(memory);
        FUZZ_CHECK(shown.empty() || shown.back() != ' ');
    }
    const FirmwareRecord firmware = readFirmwareRecord(block);
    FUZZ_CHECK(stickFirmwareVersion(block) == (firmware.isValid() ? firmware.version : 0));
    ControlBlock copy = block;
    writeFirmwareRecord(copy, firmware.version, firmware.size);
    FUZZ_CHECK(onlyChanged(copy, block, kFirmwareRecordOffset, 8));
    if (firmware.isValid() && firmware.firstBlock == kFirmwareFirstBlock)
        FUZZ_CHECK(copy == block);
    const FirmwareRecord written = readFirmwareRecord(copy);
    FUZZ_CHECK(written.isValid() && written.version == firmware.version && written.size == firmware.size);
}

void checkFill(const ControlBlock& block, int n, bool remoteMode, Byte status, const std::string& info)
{
    ControlBlock filled = block;
    FUZZ_CHECK(fillMemoryRecord(filled, n, remoteMode, status, info) == isMemorySlot(n));
    if (!isMemorySlot(n)) {
        FUZZ_CHECK(filled == block);
        return;
    }
    FUZZ_CHECK(onlyChanged(filled, block, memoryRecordOffset(n), kRecordSize));
    const MemoryRecord record = readMemoryRecord(filled, n);
    FUZZ_CHECK(record.isValid(remoteMode) && !record.isValid(!remoteMode));
    FUZZ_CHECK(record.status == status && record.length == kStoredLength);
    FUZZ_CHECK(record.dataAddress() == dataBlockAddress(n));
    FUZZ_CHECK(record.info == (info.empty() ? readMemoryRecord(block, n).info : infoFromName(info)));
    const TMemory memory = memoryFromRecord(record, remoteMode);
    FUZZ_CHECK(!memory.empty && memory.length == kStoredLength && memory.address == dataBlockAddress(n));

    ControlBlock cleared = filled;
    FUZZ_CHECK(clearMemoryName(cleared, n));
    FUZZ_CHECK(onlyChanged(cleared, filled, memoryRecordOffset(n) + kInfoOffset, kInfoSize));
    FUZZ_CHECK(readMemoryRecord(cleared, n).name().empty());
}

} // namespace
} // namespace ormid::fuzz

// Input: the control block (128 bytes; FF where the input ends), then the memory
// number (-1..6), the stick kind, the status byte and the info text of a Transfer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    ControlBlock block;
    block.fill(0xFF);
    const std::vector<Byte> read = input.bytes(block.size());
    std::copy(read.begin(), read.end(), block.begin());
    const int n = static_cast<int>(input.pick(8)) - 1;
    const bool remoteMode = input.flag();
    const Byte status = input.byte();
    const std::string info = input.restText();

    fuzz::checkReadWriteIdentity(block, remoteMode);
    fuzz::checkFill(block, n, remoteMode, status, info);
    return 0;
}
