#pragma once
// The ISD function: its switch (byte 0 bit 2, with dimming engine 1), the ISD offset
// (byte 7, signed 2-minute units), the DST state (byte 68 bit 0 set = no DST) and
// automatic DST (bytes 85..87: night lengths in 5-minute units, both valid or all 0).
// The offset slider stands for 2 × position − 256 minutes; the threshold slider for
// 5-minute units, 59 meaning off.

#include <optional>
#include <string>
#include <string_view>

#include "core/image.h"

namespace ormid {

bool isdOn(const EeBlock& image);
void switchIsdOn(EeBlock& image);
void switchIsdOff(EeBlock& image);

// The stored ISD offset in minutes (the DST box's hour included), -256..+254.
int isdOffsetMinutes(const EeBlock& image);
// The DST box: daylight-saving time in force when the image was written.
bool dstInForce(const EeBlock& image);
// Automatic DST's night lengths in minutes; nullopt while it is off.
struct AutoDstNights {
    int startMinutes; // "Length of Night for DST Start"
    int endMinutes;   // "Length of Night for DST End"
};
std::optional<AutoDstNights> autoDstNights(const EeBlock& image);

// The editor's fields.
struct IsdFields {
    std::string offset; // `offsetCodeText` of the minutes
    bool dst = false;
    bool autoDst = false;
    std::string dstStart; // `eW2S`, HH:MM or "0"
    std::string dstEnd;   // `eS2W`
};

IsdFields readIsd(const EeBlock& image);
// OK of the ISD editor.
void applyIsd(EeBlock& image, const IsdFields& fields);

// The offset slider.
constexpr int kOffsetPositions = 255;
constexpr int kNoOffset = 128;
constexpr int kDstPositions = 30; // one hour
int offsetPosition(std::string_view offsetText);
std::string offsetText(int position);
// The DST box moves the offset by an hour: back when ticked, forward when cleared.
int dstShifted(int position, bool dstTicked);

// The threshold slider of automatic DST.
constexpr int kThresholdOff = 59;
constexpr int kShortestNight = 60; // 05:00
constexpr int kLongestNight = 216; // 18:00
int thresholdPosition(std::string_view text);
std::string thresholdText(int position);
// "Set DST Start"/"Set DST End": a night length cut to whole 5 minutes.
std::string thresholdFromNightLength(std::string_view lengthText);

// The offset calculator: minutes of local solar time against clock time, from the
// longitude (half degrees, east positive) and the time zone; nullopt when the offset
// cannot be stored.
std::optional<int> calculatedOffset(int longitudeHalfDegrees, int zone);
std::string zoneText(int zone);
// A number of half degrees as the shortest decimal ("7.5", "-3", "50").
std::string halfDegreesText(int halfDegrees, char decimalSeparator);
// "W 7.5°", "E 12°", "0°".
std::string longitudeText(int halfDegrees, char decimalSeparator);
// "N 50", "S 7.5".
std::string latitudeText(int halfDegrees, char decimalSeparator);
// The calculator's OK: the offset slider's position for a calculated offset.
int calculatorPosition(int offsetMinutes, bool dstTicked);

} // namespace ormid
