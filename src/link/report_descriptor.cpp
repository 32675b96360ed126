#include "link/report_descriptor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <string_view>

namespace ormid {

namespace {

// Short-item prefixes with the size bits masked off (HID 1.11, 6.2.2.4 - 6.2.2.7).
constexpr Byte kInput = 0x80;
constexpr Byte kOutput = 0x90;
constexpr Byte kFeature = 0xB0;
constexpr Byte kReportSize = 0x74;
constexpr Byte kReportId = 0x84;
constexpr Byte kReportCount = 0x94;
constexpr Byte kPush = 0xA4;
constexpr Byte kPop = 0xB4;
constexpr Byte kLongItem = 0xFE;

constexpr std::uint64_t kMaxReportBits = std::uint64_t{kMaxReportBytes} * 8;

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    Byte reportId = 0;
};

enum Kind { kindInput, kindOutput, kindFeature, kindCount };

// Bits declared so far per kind and report id; saturates at kMaxReportBits.
using BitTable = std::array<std::array<std::uint64_t, 256>, kindCount>;

std::size_t toBytes(std::uint64_t bits)
{
    return static_cast<std::size_t>(std::min(bits, kMaxReportBits) + 7) / 8;
}

} // namespace

ReportDescriptorInfo parseReportDescriptor(ByteSpan descriptor)
{
    ReportDescriptorInfo info;
    BitTable bits{};
    GlobalState state;
    std::vector<GlobalState> stack;

    std::size_t pos = 0;
    const std::size_t end = descriptor.size();
    while (pos < end) {
        const Byte prefix = descriptor[pos];
        if (prefix == kLongItem) {
            // Long item: FE, data size, tag, data. Nothing in it concerns the lengths.
            if (end - pos < 3) {
                info.complete = false;
                break;
            }
            const std::size_t dataSize = descriptor[pos + 1];
            if (end - pos - 3 < dataSize) {
                info.complete = false;
                break;
            }
            pos += 3 + dataSize;
            continue;
        }

        const std::size_t dataSize = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if (end - pos - 1 < dataSize) {
            info.complete = false;
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i) {
            value |= static_cast<std::uint32_t>(descriptor[pos + 1 + i]) << (8 * i);
        }
        pos += 1 + dataSize;

        const Byte tag = prefix & 0xFC;
        int kind = -1;
        switch (tag) {
        case kReportSize:
            state.reportSize = value;
            break;
        case kReportCount:
            state.reportCount = value;
            break;
        case kReportId:
            info.usesReportIds = true;
            if (value == 0 || value > 0xFF) {
                info.complete = false; // id 0 is reserved; ids are one byte
            }
            state.reportId = static_cast<Byte>(value);
            break;
        case kPush:
            if (stack.size() >= kMaxDescriptorPushDepth) {
                info.complete = false;
                pos = end; // a hostile descriptor: stop here
            } else {
                stack.push_back(state);
            }
            break;
        case kPop:
            if (stack.empty()) {
                info.complete = false;
            } else {
                state = stack.back();
                stack.pop_back();
            }
            break;
        case kInput:
            kind = kindInput;
            break;
        case kOutput:
            kind = kindOutput;
            break;
        case kFeature:
            kind = kindFeature;
            break;
        default:
            break; // collections, usages, logical ranges, units: no effect on lengths
        }
        if (kind >= 0) {
            std::uint64_t& sum = bits[static_cast<std::size_t>(kind)][state.reportId];
            const std::uint64_t itemBits = std::uint64_t{state.reportSize} * state.reportCount;
            sum = std::min(kMaxReportBits, sum + std::min(itemBits, kMaxReportBits));
        }
    }

    std::uint64_t longestOutput = 0;
    for (std::size_t id = 0; id < 256; ++id) {
        info.inputLength = std::max(info.inputLength, toBytes(bits[kindInput][id]));
        info.featureLength = std::max(info.featureLength, toBytes(bits[kindFeature][id]));
        if (bits[kindOutput][id] > longestOutput) {
            longestOutput = bits[kindOutput][id];
            info.outputReportId = static_cast<Byte>(id);
        }
    }
    info.outputLength = toBytes(longestOutput);
    return info;
}

std::optional<std::string> hidrawReportDescriptorPath(const std::string& devicePath)
{
    constexpr std::string_view prefix = "/dev/hidraw";
    if (devicePath.size() <= prefix.size() || devicePath.size() > prefix.size() + 6
        || devicePath.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string number = devicePath.substr(prefix.size());
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return "/sys/class/hidraw/hidraw" + number + "/device/report_descriptor";
}

std::optional<std::vector<Byte>> readReportDescriptorFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<Byte> bytes(kMaxReportDescriptorSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto got = in.gcount();
    if (got <= 0) {
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

} // namespace ormid
