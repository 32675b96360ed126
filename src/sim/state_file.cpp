#include "sim/state_file.h"

#include <algorithm>
#include <cstdint>

#include "core/crc16.h"
#include "files/atomic_file.h"

namespace ormid::sim {

namespace {

constexpr Byte kRemoteFlag = 0x01;
constexpr std::size_t kLengthFieldSize = 4;
constexpr std::size_t kCrcSize = 2;
constexpr std::size_t kVersionAt = kStateFileMagic.size();
constexpr std::size_t kFlagsAt = kVersionAt + 1;
constexpr std::size_t kFirmwareVersionAt = kFlagsAt + 1;
constexpr std::size_t kMemoryAt = kFirmwareVersionAt + 1;
constexpr std::size_t kDeviceMemoryAt = kMemoryAt + kStickMemorySize;
constexpr std::size_t kFirmwareLengthAt = kDeviceMemoryAt + kDeviceMemorySize;
constexpr std::size_t kFirmwareAt = kFirmwareLengthAt + kLengthFieldSize;

ByteSpan asBytes(std::string_view text)
{
    return {reinterpret_cast<const Byte*>(text.data()), text.size()};
}

void appendBytes(std::string& out, ByteSpan bytes)
{
    out.append(bytes.begin(), bytes.end());
}

void appendLe(std::string& out, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t readLe(ByteSpan bytes, std::size_t at, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

StateFileResult refused(std::string reason)
{
    return {StickState{}, std::move(reason)};
}

} // namespace

std::optional<std::string> encodeStickState(const StickState& state)
{
    if (state.memory.size() != kStickMemorySize || state.receivedFirmware.size() > kMaxReceivedFirmware)
        return std::nullopt;
    std::string out(kStateFileMagic);
    out.push_back(static_cast<char>(kStateFileVersion));
    out.push_back(static_cast<char>(state.remote ? kRemoteFlag : 0x00));
    out.push_back(static_cast<char>(state.deviceFirmware));
    appendBytes(out, state.memory);
    appendBytes(out, state.deviceMemory);
    appendLe(out, static_cast<std::uint32_t>(state.receivedFirmware.size()), kLengthFieldSize);
    appendBytes(out, state.receivedFirmware);
    appendLe(out, crc16(asBytes(out)), kCrcSize);
    return out;
}

StateFileResult decodeStickState(std::string_view text)
{
    const ByteSpan bytes = asBytes(text);
    if (!text.starts_with(kStateFileMagic))
        return refused("not a stick state file");
    if (bytes.size() <= kVersionAt)
        return refused("the stick state file is truncated");
    if (bytes[kVersionAt] != kStateFileVersion)
        return refused("stick state file format " + std::to_string(bytes[kVersionAt]) + " is not supported");
    if (bytes.size() < kFirmwareAt + kCrcSize)
        return refused("the stick state file is truncated");
    const std::size_t firmwareLength = readLe(bytes, kFirmwareLengthAt, kLengthFieldSize);
    if (firmwareLength > kMaxReceivedFirmware)
        return refused("the stick state file is damaged (firmware length " + std::to_string(firmwareLength) + ")");
    const std::size_t expected = kFirmwareAt + firmwareLength + kCrcSize;
    if (bytes.size() < expected)
        return refused("the stick state file is truncated");
    if (bytes.size() > expected)
        return refused("the stick state file is damaged (" + std::to_string(bytes.size() - expected)
                       + " bytes after its end)");
    const std::size_t crcAt = expected - kCrcSize;
    if (crc16(bytes.first(crcAt)) != readLe(bytes, crcAt, kCrcSize))
        return refused("the stick state file is damaged (checksum mismatch)");
    const Byte flags = bytes[kFlagsAt];
    if ((flags & ~kRemoteFlag) != 0)
        return refused("the stick state file is damaged (unknown flags)");

    StateFileResult result;
    result.state.remote = (flags & kRemoteFlag) != 0;
    result.state.deviceFirmware = bytes[kFirmwareVersionAt];
    const ByteSpan memory = bytes.subspan(kMemoryAt, kStickMemorySize);
    result.state.memory.assign(memory.begin(), memory.end());
    std::copy_n(bytes.begin() + kDeviceMemoryAt, kDeviceMemorySize, result.state.deviceMemory.begin());
    const ByteSpan firmware = bytes.subspan(kFirmwareAt, firmwareLength);
    result.state.receivedFirmware.assign(firmware.begin(), firmware.end());
    return result;
}

std::string saveStickState(const std::filesystem::path& path, const StickState& state)
{
    const std::optional<std::string> bytes = encodeStickState(state);
    if (!bytes)
        return "Cannot write " + path.string() + ": the stick memory must hold 64 KB and the received firmware "
            + "at most " + std::to_string(kMaxReceivedFirmware) + " bytes";
    return writeFileAtomically(path, *bytes).error;
}

StateFileResult loadStickState(const std::filesystem::path& path)
{
    const FileReadResult file = readWholeFile(path);
    if (!file.ok())
        return {StickState{}, file.error};
    return decodeStickState(file.bytes);
}

} // namespace ormid::sim
