#include "core/remote_frames.h"

#include <algorithm>
#include <bit>
#include <iterator>
#include <utility>

#include "core/encodings.h"

namespace ormid {

namespace {

constexpr int kPowerOnAddress = 0;
constexpr int kEngine1Address = 1;  // steps 1..10 at 1..10
constexpr int kEngine2Address = 11; // steps 1..10 at 11..20
constexpr int kIsdSwitchAddress = 29;
constexpr int kLstSwitchAddress = 30;
constexpr int kDstSwitchAddress = 31;
constexpr int kEndLevel = 31; // the end frame of an engine

void valueFrame(std::vector<Byte>& frames, int address, Byte value, Byte fade, int level)
{
    frames.push_back(static_cast<Byte>(0x03 | (address << 2) | ((value & 1) << 7)));
    frames.push_back(static_cast<Byte>((value >> 1) | ((fade & 1) << 7)));
    frames.push_back(static_cast<Byte>(((fade >> 1) & 0x07) | (level << 3)));
}

void switchFrame(std::vector<Byte>& frames, int address, bool on)
{
    frames.push_back(static_cast<Byte>(0x01 | (address << 2) | (on ? 0x80 : 0)));
}

int levelUnits(Byte level)
{
    return (level & 0x7F) / 5;
}

// An engine's used steps, an end frame at its first empty step, nothing from its second.
void engineFrames(std::vector<Byte>& frames, const EeBlock& image, std::size_t first, int address)
{
    int empty = 0;
    for (std::size_t k = 0; k < field::stepCount && empty < 2; ++k) {
        const std::size_t step = first + field::stepSize * k;
        const int at = address + static_cast<int>(k);
        if (image[step + 2] == kFreeLevel) {
            if (++empty == 1)
                valueFrame(frames, at, 0, 0, kEndLevel);
            continue;
        }
        valueFrame(frames, at, image[step], nearestFadeRate(image[step + 1]), levelUnits(image[step + 2]));
    }
}

// The time a frame takes: 11 s, 8 s for each 1 bit and 5 s for each 0 bit of its
// `bits` counted bits, the count of 1 bits made even.
int frameSeconds(int ones, int bits)
{
    if (ones % 2 != 0)
        ++ones;
    return 11 + 8 * ones + 5 * (bits - ones);
}

} // namespace

std::vector<Byte> encodeRemoteFrames(const EeBlock& image, Byte txStatus)
{
    const auto ticked = [txStatus](Byte box) { return TestBit(txStatus, box); };
    const Byte output = image[field::outputByte];
    std::vector<Byte> frames;
    if (ticked(txBit::powerOn))
        valueFrame(frames, kPowerOnAddress, image[field::powerOnDelay], nearestFadeRate(image[field::powerOnFade]),
                   levelUnits(image[field::powerOnLevel]));
    if (ticked(txBit::isdSwitch))
        switchFrame(frames, kIsdSwitchAddress, TestBit(output, bit::isdEnable));
    if (TestBit(output, bit::isdEnable)) {
        if (ticked(txBit::dst))
            switchFrame(frames, kDstSwitchAddress, !TestBit(image[field::optionByte], bit::dstOff));
        if (ticked(txBit::engine1))
            engineFrames(frames, image, field::engine1Steps, kEngine1Address);
    }
    if (ticked(txBit::lstSwitch))
        switchFrame(frames, kLstSwitchAddress, TestBit(output, bit::lstEnable));
    if (TestBit(output, bit::lstEnable) && ticked(txBit::engine2))
        engineFrames(frames, image, field::engine2Steps, kEngine2Address);
    return frames;
}

int transmissionSeconds(const EeBlock& image, Byte txStatus)
{
    if ((txStatus & 0x3F) == 0)
        return 0;
    const std::vector<Byte> frames = encodeRemoteFrames(image, txStatus);
    int seconds = 4;
    std::size_t at = 0;
    while (at < frames.size() && at < kRemoteFramesLimit && (frames[at] & 1) != 0) {
        if ((frames[at] & 0x02) != 0 && at + 2 < frames.size()) {
            const int ones = std::popcount(static_cast<unsigned>(frames[at] & 0xFC))
                + std::popcount(static_cast<unsigned>(frames[at + 1]))
                + std::popcount(static_cast<unsigned>(frames[at + 2]));
            seconds += frameSeconds(ones, 23);
            at += 3;
        } else {
            seconds += frameSeconds(std::popcount(static_cast<unsigned>(frames[at] & 0x7C)) + 2, 10);
            at += 1;
        }
    }
    return seconds;
}

std::vector<RemoteFrame> decodeRemoteFrames(ByteSpan frames)
{
    std::vector<RemoteFrame> decoded;
    std::size_t at = 0;
    const std::size_t end = std::min(frames.size(), kRemoteFramesLimit);
    while (at < end && (frames[at] & 1) != 0) {
        RemoteFrame frame;
        frame.address = (frames[at] >> 2) & 0x1F;
        frame.isValue = (frames[at] & 0x02) != 0;
        if (!frame.isValue) {
            frame.on = (frames[at] & 0x80) != 0;
            ++at;
        } else {
            if (at + 2 >= end)
                break; // a value frame cut off by the list's end
            frame.value = static_cast<Byte>((frames[at] >> 7) | (frames[at + 1] << 1));
            frame.fade = static_cast<Byte>((frames[at + 1] >> 7) | ((frames[at + 2] & 0x07) << 1));
            frame.level = frames[at + 2] >> 3;
            at += 3;
        }
        decoded.push_back(frame);
    }
    return decoded;
}

std::string describeFrame(const RemoteFrame& frame)
{
    std::string text = std::to_string(frame.address) + " ";
    const int a = frame.address;
    if (a == kPowerOnAddress)
        text += "power-on";
    else if (a >= kEngine1Address && a < kEngine2Address)
        text += "engine 1 step " + std::to_string(a - kEngine1Address + 1);
    else if (a >= kEngine2Address && a < kEngine2Address + static_cast<int>(field::stepCount))
        text += "engine 2 step " + std::to_string(a - kEngine2Address + 1);
    else if (a == kIsdSwitchAddress)
        text += "ISD";
    else if (a == kLstSwitchAddress)
        text += "LSt";
    else if (a == kDstSwitchAddress)
        text += "DST";
    else
        text += "unknown";
    if (!frame.isValue)
        return text + ": " + (frame.on ? "on" : "off");
    if (frame.level == kEndLevel && frame.value == 0 && frame.fade == 0)
        return text + ": end";
    return text + ": value " + std::to_string(frame.value) + ", fade " + std::to_string(frame.fade) + ", level "
        + std::to_string(frame.level) + " (" + std::to_string(5 * frame.level) + " %)";
}

namespace {

// The Tx boxes by their command-line names, in the window's order.
// clang-format off
constexpr std::pair<std::string_view, Byte> kTxNames[] = {
    {"pol", txBit::powerOn}, {"isd", txBit::dst}, {"isden", txBit::isdSwitch},
    {"isdengine", txBit::engine1}, {"lsten", txBit::lstSwitch}, {"lstengine", txBit::engine2},
};
// clang-format on

} // namespace

std::optional<Byte> parseTxSelection(std::string_view names)
{
    Byte status = 0;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        const std::string_view name = names.substr(0, comma);
        const auto* found = std::find_if(std::begin(kTxNames), std::end(kTxNames),
                                         [name](const auto& entry) { return entry.first == name; });
        if (found == std::end(kTxNames))
            return std::nullopt;
        status = SetBit(status, found->second);
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    }
    return status;
}

std::string txSelectionText(Byte status)
{
    std::string names;
    for (const auto& [name, bit] : kTxNames) {
        if (!TestBit(status, bit))
            continue;
        if (!names.empty())
            names += ',';
        names += name;
    }
    return names;
}

std::string durationText(int seconds)
{
    return padded(seconds / 3600, 2) + ":" + padded(seconds % 3600 / 60, 2) + ":" + padded(seconds % 60, 2);
}

} // namespace ormid
