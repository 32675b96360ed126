#include "files/report_model.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

namespace col = reportColumn;

// Each line as "x:text|x:text", so a test states position and text together.
std::vector<std::string> linesOf(const ReportLine& header, const std::vector<ReportLine>& lines)
{
    std::vector<std::string> result;
    for (const ReportLine* l : {&header}) {
        if (l->texts.empty())
            continue;
        std::string s;
        for (const ReportText& t : l->texts)
            s += (s.empty() ? "" : "|") + std::to_string(t.x) + ":" + t.text;
        result.push_back(s);
    }
    for (const ReportLine& l : lines) {
        std::string s;
        for (const ReportText& t : l.texts)
            s += (s.empty() ? "" : "|") + std::to_string(t.x) + ":" + t.text;
        result.push_back(s);
    }
    return result;
}

std::vector<std::string> sectionLines(const ReportModel& model, ReportSectionId id)
{
    for (const ReportSection& s : model.sections) {
        if (s.id == id)
            return linesOf({}, s.lines);
    }
    return {"<missing section>"};
}

std::vector<std::string> tableLines(const ReportModel& model, ReportSectionId id)
{
    for (const ReportSection& s : model.sections) {
        if (s.id == id && s.table)
            return linesOf(s.table->header, s.table->rows);
    }
    return {"<no table>"};
}

using Lines = std::vector<std::string>;

TEST(ReportModel, DefaultImageInWords)
{
    const ReportModel m = buildReportModel(makeDefaultImage(), nullptr);
    ASSERT_EQ(m.sections.size(), 8u);
    EXPECT_EQ(m.sections.front().id, ReportSectionId::Output);
    EXPECT_EQ(sectionLines(m, ReportSectionId::Output),
              (Lines{"50:Output: |160:Analog 1-10V|300:Relay zero-cross switching: ON", "160:Min. level= 0%"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::RemoteControl), (Lines{"50:Remote Control:|160:OFF"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::PowerOn),
              (Lines{"50:Power On:|160:Delay= Random|280:Fade= OFF|400:Level= 100 %"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::BlockingTime), (Lines{"50:Blocking time: |160:OFF"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::Mff), (Lines{"50:MFF: |160:OFF|280:Burn-In= OFF"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::Isd),
              (Lines{"50:ISD:|160:Offset: 0|280:DST= OFF (Winter Time)", "160:Auto DST: OFF"}));
    EXPECT_EQ(tableLines(m, ReportSectionId::Isd),
              (Lines{"170:Time|290:Fade|410:Level|480:Relay", "170:22:00:00|290:0|410:50|480: ON",
                     "170:05:00:00|290:0|410:100|480: ON"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::Lst),
              (Lines{"50:LSt:|160:Input polarity: Low->High|400:Hold time: OFF"}));
    EXPECT_EQ(tableLines(m, ReportSectionId::Lst),
              (Lines{"170:Delay|290:Fade|410:Level|480:Relay", "170:0|290:0|410:50|480: ON"}));
    EXPECT_EQ(sectionLines(m, ReportSectionId::TManagement), (Lines{"50:T-management:|160:OFF"}));
}

TEST(ReportModel, LabelsAreBoldAndValuesRegular)
{
    const ReportModel m = buildReportModel(makeDefaultImage(), nullptr);
    for (const ReportSection& s : m.sections) {
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            for (const ReportText& t : s.lines[i].texts)
                EXPECT_EQ(t.bold, i == 0 && t.x == col::label) << t.text;
        }
    }
}

struct ImageCase {
    const char* name;
    std::vector<std::pair<std::size_t, Byte>> bytes;
    ReportSectionId section;
    Lines expected;
};

class ReportSections : public testing::TestWithParam<ImageCase> {};

TEST_P(ReportSections, PrintTheImageFields)
{
    EeBlock image = makeDefaultImage();
    for (const auto& [offset, value] : GetParam().bytes)
        image[offset] = value;
    EXPECT_EQ(sectionLines(buildReportModel(image, nullptr), GetParam().section), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, ReportSections, testing::Values(
    ImageCase{"DaliLinearStorePol", {{0, 0x03}, {68, 0x05}, {88, 0}, {2, 20}}, ReportSectionId::Output,
              {"50:Output: |160:DALI linear|300:Relay zero-cross switching: OFF", "160:Min. level= 20%|300:Store POL"}},
    ImageCase{"DaliLog", {{0, 0x01}}, ReportSectionId::Output,
              {"50:Output: |160:DALI logarithmic|300:Relay zero-cross switching: ON", "160:Min. level= 0%"}},
    ImageCase{"Pwm", {{0, 0x02}}, ReportSectionId::Output,
              {"50:Output: |160:PWM|300:Relay zero-cross switching: ON", "160:Min. level= 0%"}},
    ImageCase{"MainsMidnightProtect", {{0, 0x20}, {68, 0x30}}, ReportSectionId::RemoteControl,
              {"50:Remote Control:|160:Midnight Protect|300:Input= Mains"}},
    ImageCase{"MainsRemoteDimHasNoName", {{0, 0x20}, {68, 0x20}}, ReportSectionId::RemoteControl,
              {"50:Remote Control:|300:Input= Mains"}},
    ImageCase{"LstRemoteDim", {{0, 0x40}, {68, 0x21}}, ReportSectionId::RemoteControl,
              {"50:Remote Control:|160:Remote DIM|300:Input= LSt"}},
    ImageCase{"LstHighBitsMatchNothing", {{0, 0x40}, {68, 0x50}}, ReportSectionId::RemoteControl,
              {"50:Remote Control:|300:Input= LSt"}},
    ImageCase{"PowerOnTimes", {{4, 0x46}, {5, 0x94}, {3, 80}}, ReportSectionId::PowerOn,
              {"50:Power On:|160:Delay= 00:01:00|280:Fade= 01,200 s/%|400:Level= 80 %"}},
    ImageCase{"BlockingTime", {{1, 255}}, ReportSectionId::BlockingTime, {"50:Blocking time: |160:00:21:15"}},
    ImageCase{"MffOn", {{75, 4}, {69, 70}, {70, 75}, {71, 80}, {72, 90}, {73, 100}, {74, 12}}, ReportSectionId::Mff,
              {"50:MFF: |160:Lifetime= 2000 h|280:Start= 70%|400:Stop= 100%", "160:L1= 75%|280:L2= 80%|400:L3= 90%",
               "160:Burn-In= 12 h"}},
    ImageCase{"BurnInOnly", {{74, 200}}, ReportSectionId::Mff, {"50:MFF: |160:OFF|280:Burn-In= 200 h"}},
    ImageCase{"IsdOff", {{0, 0x08}}, ReportSectionId::Isd, {"50:ISD:|160:OFF"}},
    ImageCase{"IsdNegativeOffsetAutoDst", {{7, 0xF1}, {68, 0x00}, {86, 60}, {87, 216}}, ReportSectionId::Isd,
              {"50:ISD:|160:Offset: -00:30:00|280:DST= ON (Summer Time)",
               "160:Auto DST: ON|280:DST Start: 05:00|400:DST Stop: 18:00"}},
    ImageCase{"AutoDstNeedsBothInRange", {{86, 60}, {87, 217}}, ReportSectionId::Isd,
              {"50:ISD:|160:Offset: 0|280:DST= OFF (Winter Time)", "160:Auto DST: OFF"}},
    ImageCase{"LstOff", {{0, 0x04}}, ReportSectionId::Lst, {"50:LSt:|160:OFF"}},
    ImageCase{"LstHighToLowHold", {{0, 0x1C}, {6, 0x85}}, ReportSectionId::Lst,
              {"50:LSt:|160:Input polarity: High->Low|400:Hold time: 00:05:00"}},
    ImageCase{"TmThreeThresholdsRelayOffAtT1", {{0, 0x8C}, {89, 85}, {90, 0x80 + 30}, {91, 70}, {92, 0x80 + 50}, {93, 60}, {94, 70}},
              ReportSectionId::TManagement,
              {"50:T-management:|160:T1= 85°C|280:Level= 30%         Relay OFF", "160:T2= 70°C|280:Level= 50%",
               "160:T3= 60°C|280:Level= 70%"}},
    ImageCase{"TmT2ZeroEndsAfterT1", {{0, 0x8C}, {89, 85}, {90, 40}, {91, 0}, {93, 60}}, ReportSectionId::TManagement,
              {"50:T-management:|160:T1= 85°C|280:Level= 40%"}},
    ImageCase{"TmOnWithoutThresholds", {{0, 0x8C}}, ReportSectionId::TManagement, {"50:T-management:"}}
), [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST(ReportModel, EngineTablesEndAtTheFirstFreeStepAndShowTheRelayFlag)
{
    EeBlock image = makeDefaultImage();
    image[engine1Step(1) + 2] = kFreeLevel;  // engine 1 empty: header only
    image[engine2Step(1)] = 0x46;            // 60 s
    image[engine2Step(1) + 1] = 0x4A;        // 100 ms/%
    image[engine2Step(1) + 2] = 0x80 + 40;   // relay off at 40 %
    image[engine2Step(2) + 2] = 60;
    image[engine2Step(3) + 2] = kFreeLevel;
    image[engine2Step(4) + 2] = 70;          // after a free step: not printed
    const ReportModel m = buildReportModel(image, nullptr);
    EXPECT_EQ(tableLines(m, ReportSectionId::Isd), (Lines{"170:Time|290:Fade|410:Level|480:Relay"}));
    // clang-format on
    EXPECT_EQ(tableLines(m, ReportSectionId::Lst),
              (Lines{"170:Delay|290:Fade|410:Level|480:Relay", "170:00:01:00|290:00,100|410:40|480: OFF",
                     "170:0|290:0|410:60|480: ON"}));
}

TEST(ReportModel, ProjectSectionOnlyWithAName)
{
    const ReportProject unnamed{"", "Street light", "Driver X", "10.12.2026"};
    EXPECT_EQ(buildReportModel(makeDefaultImage(), &unnamed).sections.front().id, ReportSectionId::Output);

    const ReportProject project{"Main Street", "Lum", "Drv", "10.12.2026"};
    const ReportModel m = buildReportModel(makeDefaultImage(), &project);
    ASSERT_EQ(m.sections.front().id, ReportSectionId::Project);
    EXPECT_EQ(sectionLines(m, ReportSectionId::Project),
              (Lines{"50:Project Name: |160:Main Street|450:Date: |480:10.12.2026",
                     "50:Luminaire : |160:Lum|300:Driver : |350:Drv"}));
    const auto& texts = m.sections.front().lines;
    EXPECT_EQ(texts[0].texts[1].maxWidth, 290);
    EXPECT_EQ(texts[1].texts[1].maxWidth, 130);
    EXPECT_EQ(texts[1].texts[3].maxWidth, 200);
    EXPECT_TRUE(texts[1].texts[2].bold);
}

TEST(ReportModel, ShortImageReadsMissingBytesAsZero)
{
    const ReportModel m = buildReportModel(EeBlock(4, 0xFF), nullptr);
    EXPECT_EQ(sectionLines(m, ReportSectionId::Output),
              (Lines{"50:Output: |160:DALI linear|300:Relay zero-cross switching: OFF", "160:Min. level= 255%"}));
    EXPECT_EQ(tableLines(m, ReportSectionId::Isd).size(), 11u); // zero levels are used steps
}

TEST(ReportText, PlacesTextsInColumnsAndSeparatesSections)
{
    const std::string text = formatReportText(buildReportModel(makeDefaultImage(), nullptr));
    EXPECT_NE(text.find("Output:           Analog 1-10V           Relay zero-cross switching: ON\n"
                        "                  Min. level= 0%\n\nRemote Control:   OFF\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("                    22:00:00            0                   50          ON\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.back(), '\n');
}

} // namespace
} // namespace ormid
