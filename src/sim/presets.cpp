#include "sim/presets.h"

#include <algorithm>
#include <optional>

#include "core/data_block.h"
#include "files/atomic_file.h"
#include "link/control_block.h"
#include "link/firmware_container.h"

namespace ormid::sim {

std::string presetMemory(StickState& state, int n, ByteSpan image, std::string_view name)
{
    if (!isMemorySlot(n))
        return "Memory " + std::to_string(n) + " does not exist; the stick has M1 to M4";
    const std::optional<DataBlock> dataBlock = buildDataBlock(image);
    if (!dataBlock)
        return "The image for M" + std::to_string(n) + " holds " + std::to_string(image.size())
            + " bytes; a memory needs " + std::to_string(kStoredImageBytes);
    ControlBlock control = readStickBlock(state, kControlBlockAddress);
    fillMemoryRecord(control, n, state.remote, 0x00, name);
    writeStickBlock(state, dataBlockAddress(n), *dataBlock);
    writeStickBlock(state, kControlBlockAddress, control);
    return {};
}

std::string presetFirmwareRecord(StickState& state, Byte version, std::uint16_t size)
{
    if (!firmwareSizeFits(size))
        return "A firmware image of " + std::to_string(size) + " bytes does not fit the program's "
            + std::to_string(kFirmwareBufferSize) + "-byte firmware buffer";
    ControlBlock control = readStickBlock(state, kControlBlockAddress);
    writeFirmwareRecord(control, version, size);
    writeStickBlock(state, kControlBlockAddress, control);
    return {};
}

std::string loadDeviceMemory(StickState& state, const std::filesystem::path& file)
{
    const FileReadResult read = readWholeFile(file);
    if (!read.ok())
        return read.error;
    if (read.bytes.size() != kDeviceMemorySize)
        return file.string() + " holds " + std::to_string(read.bytes.size()) + " bytes; the device memory is "
            + std::to_string(kDeviceMemorySize);
    std::copy(read.bytes.begin(), read.bytes.end(), state.deviceMemory.begin());
    return {};
}

} // namespace ormid::sim
