#include "files/report_model.h"

#include <array>
#include <cstdint>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "core/block_timer_block.h"
#include "core/encodings.h"
#include "core/lst_block.h"
#include "core/power_on_block.h"

namespace ormid {

namespace {

namespace col = reportColumn;

// Output kinds by bit 0 + 2 × bit 1 of byte 0.
constexpr std::array<const char*, 4> kOutputTexts = {"Analog 1-10V", "DALI logarithmic", "PWM", "DALI linear"};

struct RemoteFunctionText {
    Byte function; // byte 68 AND F0
    const char* text;
};
constexpr std::array<RemoteFunctionText, 2> kMainsFunctions = {{{0x10, "Midnight"}, {0x30, "Midnight Protect"}}};
constexpr std::array<RemoteFunctionText, 2> kLstFunctions = {{{0x10, "Midnight"}, {0x20, "Remote DIM"}}};

struct Threshold {
    std::size_t temperature;
    std::size_t level;
    const char* name;
};
constexpr std::array<Threshold, 3> kThresholds = {{
    {field::tmT1, field::tmLevel1, "T1= "},
    {field::tmT2, field::tmLevel2, "T2= "},
    {field::tmT3, field::tmLevel3, "T3= "},
}};

// Night lengths of the automatic DST, in 5-minute units.
constexpr int kAutoDstMin = 60;
constexpr int kAutoDstMax = 216;

// Bytes missing from a short image read as 0, so a truncated image prints, never overruns.
class ImageReader {
public:
    explicit ImageReader(const EeBlock& image) : image_(image)
    {
        if (image_.size() < kStoredImageBytes)
            image_.resize(kStoredImageBytes, 0);
    }
    int operator[](std::size_t i) const { return i < image_.size() ? image_[i] : 0; }
    bool bitSet(std::size_t i, Byte bitNumber) const { return TestBit((*this)[i], bitNumber); }
    // At least the stored bytes, for the blocks' own text functions.
    const EeBlock& bytes() const { return image_; }

private:
    EeBlock image_;
};

std::string number(int value)
{
    return std::to_string(value);
}

ReportText label(std::string text)
{
    return {col::label, std::move(text), true, 0};
}
ReportText at(int x, std::string text)
{
    return {x, std::move(text), false, 0};
}

// A line whose empty texts are left out.
ReportLine line(std::initializer_list<ReportText> texts)
{
    ReportLine result;
    for (const ReportText& t : texts) {
        if (!t.text.empty())
            result.texts.push_back(t);
    }
    return result;
}

const char* lookupFunction(const std::array<RemoteFunctionText, 2>& table, int function)
{
    for (const RemoteFunctionText& entry : table) {
        if (entry.function == function)
            return entry.text;
    }
    return "";
}

std::string timeCodeText(int code)
{
    return secondsText(decodeTimeCode(code));
}

ReportSection projectSection(const ReportProject& project)
{
    return {ReportSectionId::Project,
            {line({label("Project Name: "),
                   {col::value, project.name, false, 290},
                   {450, "Date: ", true, 0},
                   at(480, project.date)}),
             line({label("Luminaire : "),
                   {col::value, project.luminaire, false, 130},
                   {col::relay, "Driver : ", true, 0},
                   {350, project.driver, false, 200}})},
            std::nullopt};
}

ReportSection outputSection(const ImageReader& image)
{
    const int kind
        = image.bitSet(field::outputByte, bit::outputDali) + 2 * image.bitSet(field::outputByte, bit::outputVariant);
    const bool zeroCross = image.bitSet(field::relayByte, bit::zeroCrossSwitch);
    return {ReportSectionId::Output,
            {line({label("Output: "), at(col::value, kOutputTexts[static_cast<std::size_t>(kind)]),
                   at(col::relay, std::string("Relay zero-cross switching: ") + (zeroCross ? "ON" : "OFF"))}),
             line({at(col::value, "Min. level= " + number(image[field::minLevel]) + "%"),
                   at(col::relay, image.bitSet(field::optionByte, bit::storePol) ? "Store POL" : "")})},
            std::nullopt};
}

ReportSection remoteControlSection(const ImageReader& image)
{
    const int function = image[field::optionByte] & kRemoteFunctionMask;
    std::string input;
    std::string functionText;
    if (image.bitSet(field::outputByte, bit::remoteViaMains)) {
        input = "Input= Mains";
        functionText = lookupFunction(kMainsFunctions, function);
    } else if (image.bitSet(field::outputByte, bit::remoteViaLst)) {
        input = "Input= LSt";
        functionText = lookupFunction(kLstFunctions, function);
    } else {
        functionText = "OFF";
    }
    return {ReportSectionId::RemoteControl,
            {line({label("Remote Control:"), at(col::value, functionText), at(col::relay, input)})},
            std::nullopt};
}

ReportSection powerOnSection(const ImageReader& image)
{
    // The power-on panel's and the main panel's texts; the report says "OFF" for no fade
    // and gives its unit.
    const PowerOnFields powerOn = readPowerOn(image.bytes());
    const bool noFade = image[field::powerOnFade] == 0;
    return {ReportSectionId::PowerOn,
            {line({label("Power On:"), at(col::value, "Delay= " + powerOn.delay),
                   at(col::second, "Fade= " + (noFade ? std::string("OFF") : powerOn.fade + " s/%")),
                   at(col::third, "Level= " + powerOn.level + " %")})},
            std::nullopt};
}

ReportSection blockingTimeSection(const ImageReader& image)
{
    const int blockTime = image[field::blockTime];
    return {ReportSectionId::BlockingTime,
            {line({label("Blocking time: "), at(col::value, blockTime == 0 ? "OFF" : blockTimeText(blockTime))})},
            std::nullopt};
}

ReportSection mffSection(const ImageReader& image)
{
    const int burnIn = image[field::burnInHours];
    const std::string burnInText = "Burn-In= " + (burnIn == 0 ? std::string("OFF") : number(burnIn) + " h");
    const int lifetime = image[field::mffLifetime];
    if (lifetime == 0)
        return {ReportSectionId::Mff,
                {line({label("MFF: "), at(col::value, "OFF"), at(col::second, burnInText)})},
                std::nullopt};

    const auto percent
        = [&](const char* name, std::size_t byte) { return std::string(name) + number(image[byte]) + "%"; };
    return {
        ReportSectionId::Mff,
        {line({label("MFF: "), at(col::value, "Lifetime= " + number(500 * lifetime) + " h"),
               at(col::second, percent("Start= ", field::mffStartLevel)),
               at(col::third, percent("Stop= ", field::mffStopLevel))}),
         line({at(col::value, percent("L1= ", field::mffLevel1)), at(col::second, percent("L2= ", field::mffLevel2)),
               at(col::third, percent("L3= ", field::mffLevel3))}),
         line({at(col::value, burnInText)})},
        std::nullopt};
}

// Rows of one dimming engine up to its first free step.
ReportTable engineTable(const ImageReader& image, std::size_t firstStep, const char* firstColumn,
                        std::string (*firstColumnText)(int))
{
    ReportTable table;
    table.header = line({{col::tableFirst, firstColumn, true, 0},
                         {col::tableFade, "Fade", true, 0},
                         {col::tableLevel, "Level", true, 0},
                         {col::tableRelay, "Relay", true, 0}});
    for (std::size_t k = 0; k < field::stepCount; ++k) {
        const std::size_t step = firstStep + field::stepSize * k;
        const int level = image[step + 2];
        if (level == kFreeLevel)
            break;
        table.rows.push_back(
            line({at(col::tableFirst, firstColumnText(image[step])),
                  at(col::tableFade, millisecondsText(decodeTimeCode(image[step + 1]))),
                  at(col::tableLevel, number(level & 0x7F)), at(col::tableRelay, (level & 0x80) ? " OFF" : " ON")}));
    }
    return table;
}

ReportSection isdSection(const ImageReader& image)
{
    if (!image.bitSet(field::outputByte, bit::isdEnable))
        return {ReportSectionId::Isd, {line({label("ISD:"), at(col::value, "OFF")})}, std::nullopt};

    const int offset = static_cast<std::int8_t>(image[field::isdOffset]);
    const bool dstOff = image.bitSet(field::optionByte, bit::dstOff);
    ReportSection section{
        ReportSectionId::Isd,
        {line({label("ISD:"), at(col::value, "Offset: " + offsetCodeText(2 * offset)),
               at(col::second, std::string("DST= ") + (dstOff ? "OFF (Winter Time)" : "ON (Summer Time)"))})},
        engineTable(image, field::engine1Steps, "Time", timeOfDayText)};

    const int start = image[field::autoDstStart];
    const int end = image[field::autoDstEnd];
    const auto inRange = [](int v) { return v >= kAutoDstMin && v <= kAutoDstMax; };
    if (inRange(start) && inRange(end)) {
        section.lines.push_back(
            line({at(col::value, "Auto DST: ON"), at(col::second, "DST Start: " + hoursMinutesText(300 * start)),
                  at(col::third, "DST Stop: " + hoursMinutesText(300 * end))}));
    } else {
        section.lines.push_back(line({at(col::value, "Auto DST: OFF")}));
    }
    return section;
}

ReportSection lstSection(const ImageReader& image)
{
    if (!image.bitSet(field::outputByte, bit::lstEnable))
        return {ReportSectionId::Lst, {line({label("LSt:"), at(col::value, "OFF")})}, std::nullopt};

    const int hold = image[field::holdTime];
    const bool highToLow = image.bitSet(field::outputByte, bit::lstPolarity);
    return {
        ReportSectionId::Lst,
        {line({label("LSt:"), at(col::value, std::string("Input polarity: ") + (highToLow ? "High->Low" : "Low->High")),
               at(col::third, "Hold time: " + (hold == 0 ? std::string("OFF") : holdTimeText(image.bytes())))})},
        engineTable(image, field::engine2Steps, "Delay", timeCodeText)};
}

ReportSection tManagementSection(const ImageReader& image)
{
    ReportSection section{ReportSectionId::TManagement, {}, std::nullopt};
    if (!image.bitSet(field::outputByte, bit::tmEnable)) {
        section.lines.push_back(line({label("T-management:"), at(col::value, "OFF")}));
        return section;
    }
    section.lines.push_back(line({label("T-management:")}));
    for (std::size_t i = 0; i < kThresholds.size(); ++i) {
        const Threshold& t = kThresholds[i];
        if (image[t.temperature] == 0)
            break;
        const int level = image[t.level];
        const bool relayOff = i == 0 && (level & 0x80);
        const std::string suffix = relayOff ? "%         Relay OFF" : "%";
        if (i > 0)
            section.lines.push_back({});
        ReportLine& target = section.lines.back();
        target.texts.push_back(at(col::value, t.name + number(image[t.temperature]) + "°C"));
        target.texts.push_back(at(col::second, "Level= " + number(level & 0x7F) + suffix));
    }
    return section;
}

// Character column of an x position in the text rendering (about 6 points a character).
std::size_t textColumn(int x)
{
    return x <= col::label ? 0 : static_cast<std::size_t>(x - col::label) / 6;
}

std::size_t utf8Length(const std::string& text)
{
    std::size_t length = 0;
    for (const char c : text)
        length += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return length;
}

void appendLine(std::string& out, const ReportLine& line)
{
    std::string text;
    std::size_t length = 0;
    for (const ReportText& t : line.texts) {
        const std::size_t column = textColumn(t.x);
        const std::size_t pad = column > length ? column - length : (length > 0 ? 1 : 0);
        text.append(pad, ' ');
        text += t.text;
        length += pad + utf8Length(t.text);
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    out += text;
    out += '\n';
}

} // namespace

ReportModel buildReportModel(const EeBlock& eeBlock, const ReportProject* project)
{
    const ImageReader image(eeBlock);
    ReportModel model;
    if (project && !project->name.empty())
        model.sections.push_back(projectSection(*project));
    model.sections.push_back(outputSection(image));
    model.sections.push_back(remoteControlSection(image));
    model.sections.push_back(powerOnSection(image));
    model.sections.push_back(blockingTimeSection(image));
    model.sections.push_back(mffSection(image));
    model.sections.push_back(isdSection(image));
    model.sections.push_back(lstSection(image));
    model.sections.push_back(tManagementSection(image));
    return model;
}

std::string shortDate(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    std::ostringstream out;
    try {
        out.imbue(std::locale(""));
    } catch (const std::runtime_error&) {
        // LANG names a locale this system lacks: the stream keeps the C locale.
    }
    out << std::put_time(&local, "%x");
    return out.str();
}

std::string formatReportText(const ReportModel& model)
{
    std::string out;
    for (std::size_t s = 0; s < model.sections.size(); ++s) {
        if (s > 0)
            out += '\n';
        const ReportSection& section = model.sections[s];
        for (const ReportLine& l : section.lines)
            appendLine(out, l);
        if (section.table) {
            appendLine(out, section.table->header);
            for (const ReportLine& row : section.table->rows)
                appendLine(out, row);
        }
    }
    return out;
}

} // namespace ormid
