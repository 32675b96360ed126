// The caption is rendered from its parts: each unit sets its own, and what one part
// replaces is gone from the caption.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/status_line.h"

namespace ormid {
namespace {

struct StatusCase {
    const char* name;
    std::function<void(StatusLine&)> steps;
    std::string caption;
};

class StatusLineCase : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineCase, RendersTheCaptionFromItsParts)
{
    StatusLine status;
    GetParam().steps(status);
    EXPECT_EQ(status.caption(), GetParam().caption);
}

const StatusCase kStatusCases[] = {
    {"DotsOfAWait",
     [](StatusLine& s) {
         s.setMode("Loading");
         s.addProgressDot();
         s.addProgressDot();
     },
     "Loading.."},
    {"AModeClearsTheDotsBeforeIt",
     [](StatusLine& s) {
         s.setMode("Loading");
         s.addProgressDot();
         s.setMode("Ormid");
     },
     "Ormid"},
    {"TheDeviceFollowsTheModeAfterAComma",
     [](StatusLine& s) {
         s.setMode("USB Stick");
         s.setDevice("Device Nr. 12345678, FW 1.77            Ready...");
     },
     "USB Stick, Device Nr. 12345678, FW 1.77            Ready..."},
    {"AVerdictReplacesTheProgress",
     [](StatusLine& s) {
         s.setMode("USB Stick");
         s.setDevice("Device Nr. 1, FW 1.77");
         s.setProgress("->Transfer 3/10");
         s.setVerdict("->Transfer finished.");
     },
     "USB Stick, Device Nr. 1, FW 1.77->Transfer finished."},
    {"AProgressReplacesTheVerdict",
     [](StatusLine& s) {
         s.setMode("USB Stick");
         s.setVerdict("  ->Transfer verified.");
         s.setProgress("->FW Update 0/80");
     },
     "USB Stick->FW Update 0/80"},
    {"ANewDeviceClearsTheVerdictOfTheOldOne",
     [](StatusLine& s) {
         s.setMode("USB Stick");
         s.setVerdict("->FW Update finished.");
         s.setDevice("Device Nr. 2, FW 1.77");
     },
     "USB Stick, Device Nr. 2, FW 1.77"},
    {"ANoticeStandsInsteadOfTheCaption",
     [](StatusLine& s) {
         s.setMode("Ormid");
         s.setNotice("The stick was pulled out; save your configuration or plug the stick in again");
         s.setVerdict("ignored while the notice stands");
     },
     "The stick was pulled out; save your configuration or plug the stick in again"},
    {"ClearingTheNoticeBringsBackWhatWasSetMeanwhile",
     [](StatusLine& s) {
         s.setMode("USB Stick");
         s.setNotice("notice");
         s.setProgress("->Transfer 3/10");
         s.setNotice(std::nullopt);
     },
     "USB Stick->Transfer 3/10"},
};

INSTANTIATE_TEST_SUITE_P(Parts, StatusLineCase, testing::ValuesIn(kStatusCases),
                         [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace ormid
