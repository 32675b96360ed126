// Tonight's light: the profile model on the default configuration and on nights worked
// out by hand from the lengths the night calculator gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "core/encodings.h"
#include "core/image.h"
#include "core/night_profile.h"

namespace ormid {
namespace {

// Nights whose lengths the calculator's known cases give (N 50).
constexpr CalendarDay kWinter{21, 12, 2017}; // twilight -6°: 14:39, 879 minutes
constexpr CalendarDay kSummer{21, 6, 2017};  // twilight 0°: 07:51, 471 minutes

ProfileRequest winterNight()
{
    return {.date = kWinter, .latitude = 50, .twilight = -6};
}
ProfileRequest summerNight()
{
    return {.date = kSummer, .latitude = 50, .twilight = 0};
}

NightProfile profileOf(const EeBlock& image, const ProfileRequest& request)
{
    const auto profile = nightProfile(image, request);
    EXPECT_TRUE(profile.has_value());
    return profile.value_or(NightProfile{});
}

// The output at a clock time, minutes from midnight.
double levelAt(const NightProfile& profile, int clockMinute)
{
    const int i = clockMinute - profile.switchOn;
    EXPECT_TRUE(i >= 0 && i < static_cast<int>(profile.levels.size())) << clockText(clockMinute);
    return i >= 0 && i < static_cast<int>(profile.levels.size()) ? profile.levels[static_cast<std::size_t>(i)] : -1;
}

int countMarks(const NightProfile& profile, ProfileMarkKind kind)
{
    return static_cast<int>(std::count_if(profile.marks.begin(), profile.marks.end(),
                                          [kind](const ProfileMark& m) { return m.kind == kind; }));
}

bool hasNote(const NightProfile& profile, std::string_view part)
{
    return std::any_of(profile.notes.begin(), profile.notes.end(),
                       [part](const std::string& note) { return note.find(part) != std::string::npos; });
}

// Step k of an engine: its first byte (time or delay code), fade code and level byte.
void setStep(EeBlock& image, std::size_t first, Byte when, Byte fade, Byte level)
{
    image[first] = when;
    image[first + 1] = fade;
    image[first + 2] = level;
}

// Engine 1 time codes: 5-minute units from midnight, two's complement.
constexpr Byte at2200 = 0xE8; // -24
constexpr Byte at1500 = 0x94; // -108

// A configuration with neither engine: the power-on level all night.
EeBlock withoutSteps()
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = ClearBit(ClearBit(image[field::outputByte], bit::isdEnable), bit::lstEnable);
    return image;
}

TEST(NightProfile, DefaultConfigurationInWinterAndSummerAtN50)
{
    // The default image: power-on 100 %, engine 1 at 22:00 to 50 % and at 05:00 back to
    // 100 %, no offset, no DST. Midnight is the night's middle.
    const struct {
        const char* name;
        ProfileRequest request;
        int minutes;      // the night's length
        int switchOn;     // clock minutes, ± 1 for the half minute
        double energy;    // by hand, below
        int stepsInNight; // engine-1 marks
    } cases[] = {
        // 879 minutes from 16:40:30 to 07:19:30; 22:00..05:00 (420 minutes) at 50 %:
        // 1 - 420 × 0.5 / 879 = 0.76109.
        {"winter", winterNight(), 879, -440, 1 - 420 * 0.5 / 879, 2},
        // 471 minutes from 20:04:30 to 03:55:30; 05:00 comes after switch-off, so 50 %
        // from 22:00 to the end: (115.5 × 100 + 355.5 × 50) / 47100 = 0.62261.
        {"summer", summerNight(), 471, -236, (115.5 + 355.5 * 0.5) / 471, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const NightProfile profile = profileOf(makeDefaultImage(), c.request);
        EXPECT_EQ(profile.twilight, Twilight::crossed);
        EXPECT_EQ(static_cast<int>(profile.levels.size()), c.minutes);
        EXPECT_EQ(profile.switchOff - profile.switchOn, c.minutes);
        EXPECT_NEAR(profile.switchOn, c.switchOn, 1);
        EXPECT_DOUBLE_EQ(profile.middle, 0);
        EXPECT_FALSE(profile.dst);
        EXPECT_EQ(profile.levels.front(), 100) << "the power-on level at once: Random is taken as no delay";
        EXPECT_EQ(levelAt(profile, -121), 100);
        EXPECT_EQ(levelAt(profile, -120), 50) << "22:00";
        EXPECT_EQ(countMarks(profile, ProfileMarkKind::engine1Step), c.stepsInNight);
        EXPECT_EQ(countMarks(profile, ProfileMarkKind::engine2Step), 0) << "no LSt event given";
        EXPECT_TRUE(hasNote(profile, "waits for an LSt event"));
        ASSERT_TRUE(profile.energy().has_value());
        EXPECT_NEAR(*profile.energy(), c.energy, 0.002);
    }
    const NightProfile winter = profileOf(makeDefaultImage(), winterNight());
    EXPECT_EQ(levelAt(winter, 299), 50);
    EXPECT_EQ(levelAt(winter, 300), 100) << "05:00";
    const NightProfile summer = profileOf(makeDefaultImage(), summerNight());
    EXPECT_TRUE(hasNote(summer, "Engine 1 step 2 (05:00) falls after switch-off.")) << summer.notes.front();
    EXPECT_EQ(savedText(*winter.energy()), "23.9 %");
}

TEST(NightProfile, ANightWithoutStepsKeepsThePowerOnLevel)
{
    const struct {
        const char* name;
        Byte powerOnLevel;
        double energy;
    } cases[] = {{"full", 100, 1.0}, {"dimmed", 70, 0.7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = withoutSteps();
        image[field::powerOnLevel] = c.powerOnLevel;
        const NightProfile profile = profileOf(image, winterNight());
        EXPECT_TRUE(std::all_of(profile.levels.begin(), profile.levels.end(),
                                [&](double level) { return level == c.powerOnLevel; }));
        EXPECT_DOUBLE_EQ(*profile.energy(), c.energy);
        EXPECT_EQ(profile.marks.size(), 2u) << "switch-on and switch-off only";
        EXPECT_TRUE(hasNote(profile, "ISD is off"));
        // Every night alike: the year saves what the night saves.
        EXPECT_NEAR(*yearEnergy(image, winterNight()), c.energy, 1e-9);
    }
}

TEST(NightProfile, EngineTwoRunsFromTheLStEventOnly)
{
    // Engine 2: at the event to 30 %, an hour later to 70 %.
    EeBlock image = makeDefaultImage();
    setStep(image, engine2Step(1), 0, 0, 30);
    setStep(image, engine2Step(2), static_cast<Byte>(encodeTimeCode(3600)), 0, 70);
    EeBlock lstOff = image;
    lstOff[field::outputByte] = ClearBit(lstOff[field::outputByte], bit::lstEnable);
    const std::vector<double> engine1Only = profileOf(makeDefaultImage(), winterNight()).levels;

    const struct {
        const char* name;
        const EeBlock& image;
        std::optional<int> event;
        int engine2Marks;
        const char* note;
    } cases[] = {
        {"no event", image, std::nullopt, 0, "waits for an LSt event"},
        {"LSt off", lstOff, 23 * 60, 0, "LSt input is off"},
        {"event by day", image, 14 * 60, 0, "falls outside the night"},
        {"event at 23:00", image, 23 * 60, 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProfileRequest request = winterNight();
        request.lstEvent = c.event;
        const NightProfile profile = profileOf(c.image, request);
        EXPECT_EQ(countMarks(profile, ProfileMarkKind::engine2Step), c.engine2Marks);
        if (c.note) {
            EXPECT_TRUE(hasNote(profile, c.note));
            EXPECT_EQ(profile.levels, engine1Only) << "engine 1 alone";
            continue;
        }
        EXPECT_EQ(countMarks(profile, ProfileMarkKind::lstEvent), 1);
        // 22:00 engine 1 to 50, 23:00 engine 2 to 30, 00:00 engine 2 to 70, 05:00 engine 1 to 100.
        EXPECT_EQ(levelAt(profile, -61), 50);
        EXPECT_EQ(levelAt(profile, -60), 30);
        EXPECT_EQ(levelAt(profile, 0), 70);
        EXPECT_EQ(levelAt(profile, 299), 70);
        EXPECT_EQ(levelAt(profile, 300), 100);
    }
    // Morning times belong to the night's second half.
    ProfileRequest morning = winterNight();
    morning.lstEvent = 2 * 60;
    const NightProfile profile = profileOf(image, morning);
    EXPECT_EQ(levelAt(profile, 119), 50);
    EXPECT_EQ(levelAt(profile, 120), 30);
    EXPECT_EQ(levelAt(profile, 180), 70);
}

TEST(NightProfile, DaylightSavingMovesMidnightAnHour)
{
    // Offset -60 minutes with the DST box ticked: the box's hour, as its editor stores it.
    const auto summerTimeByHand = [](EeBlock& image) {
        image[field::isdOffset] = static_cast<Byte>(256 - 30);
        image[field::optionByte] = ClearBit(image[field::optionByte], bit::dstOff);
    };
    // Auto DST at 10:45 and 13:20 (the calculator's 30.03. and 26.10.2014 at N 50).
    const auto autoDst = [](EeBlock& image) {
        image[field::autoDstStart] = 129;
        image[field::autoDstEnd] = 160;
    };
    const std::function<void(EeBlock&)> none = [](EeBlock&) {};
    const std::function<void(EeBlock&)> both = [&](EeBlock& image) {
        summerTimeByHand(image);
        autoDst(image);
    };
    const struct {
        const char* name;
        std::function<void(EeBlock&)> setup;
        ProfileRequest request;
        bool dst;
        int offset;
        double energy;
    } cases[] = {
        // Winter: both steps lie inside the night whichever hour midnight takes.
        {"off, winter", none, winterNight(), false, 0, 1 - 420 * 0.5 / 879},
        {"by hand, winter", summerTimeByHand, winterNight(), true, -60, 1 - 420 * 0.5 / 879},
        // Summer by hand: the middle at 01:00, on at 21:04:30; 22:00 after 55.5 minutes,
        // then 50 % to 04:55:30: (55.5 × 100 + 415.5 × 50) / 47100 = 0.55892.
        {"by hand, summer", summerTimeByHand, summerNight(), true, -60, (55.5 + 415.5 * 0.5) / 471},
        {"auto, summer", autoDst, summerNight(), true, -60, (55.5 + 415.5 * 0.5) / 471},
        {"auto, winter", autoDst, winterNight(), false, 0, 1 - 420 * 0.5 / 879},
        // Written in summer time: the stored offset holds the hour, which winter takes off.
        {"auto from summer, winter", both, winterNight(), false, 0, 1 - 420 * 0.5 / 879},
        {"auto from summer, summer", both, summerNight(), true, -60, (55.5 + 415.5 * 0.5) / 471},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        c.setup(image);
        const NightProfile profile = profileOf(image, c.request);
        EXPECT_EQ(profile.dst, c.dst);
        EXPECT_EQ(profile.offsetMinutes, c.offset);
        EXPECT_DOUBLE_EQ(profile.middle, -c.offset);
        EXPECT_EQ(levelAt(profile, -120), 50) << "22:00 on the clock";
        EXPECT_NEAR(*profile.energy(), c.energy, 0.002);
    }
}

TEST(NightProfile, FadesDelaysBlockingMinimumAndMaintenance)
{
    // Each case changes the default image; the levels are read at clock minutes of the
    // winter night (switch-on at 16:40, minute -440 ± 1) or at minutes after switch-on.
    enum class From { midnight, switchOn };
    struct Reading {
        From from;
        int minute;
        double level;
    };
    constexpr From clock = From::midnight;
    constexpr From on = From::switchOn;
    const struct {
        const char* name;
        std::function<void(EeBlock&)> setup;
        double ageHours;
        std::vector<Reading> readings;
    } cases[] = {
        // 36 s per percent: 50 % down in 30 minutes, 75 % a quarter of an hour in.
        {"fade",
         [](EeBlock& i) { setStep(i, engine1Step(1), at2200, 0xE8, 50); },
         0,
         {{clock, -121, 100}, {clock, -120, 100}, {clock, -105, 75}, {clock, -90, 50}}},
        // 90 s delay, then 600 ms per percent: lit at 1:30, 50 % at 2:00, 100 % at 2:30.
        {"power-on delay and fade",
         [](EeBlock& i) {
             i[field::powerOnDelay] = static_cast<Byte>(encodeTimeCode(90));
             i[field::powerOnFade] = static_cast<Byte>(encodeTimeCode(600));
         },
         0,
         {{on, 0, 0}, {on, 1, 0}, {on, 2, 50}, {on, 3, 100}}},
        // A step from 15:00 is in force from switch-on, after 1275 s of full output.
        {"block timer",
         [](EeBlock& i) {
             i[field::blockTime] = 255;
             setStep(i, engine1Step(1), at1500, 0, 40);
         },
         0,
         {{on, 0, 100}, {on, 21, 100}, {on, 22, 40}}},
        {"minimum level", [](EeBlock& i) { i[field::minLevel] = 60; }, 0, {{clock, -121, 100}, {clock, -120, 60}}},
        // Lifetime 50 000 h from 80 % to 100 %: L1..L3 85, 90, 95.
        {"maintenance, new",
         [](EeBlock& i) { i[field::mffLifetime] = 100; },
         0,
         {{clock, -121, 80}, {clock, -120, 40}}},
        {"maintenance, half a quarter",
         [](EeBlock& i) { i[field::mffLifetime] = 100; },
         6250,
         {{clock, -121, 82.5}, {clock, -120, 41.25}}},
        {"maintenance, past its lifetime",
         [](EeBlock& i) { i[field::mffLifetime] = 100; },
         60000,
         {{clock, -121, 100}, {clock, -120, 50}}},
        {"burn-in", [](EeBlock& i) { i[field::burnInHours] = 100; }, 50, {{clock, -120, 100}, {clock, 0, 100}}},
        {"burn-in over", [](EeBlock& i) { i[field::burnInHours] = 100; }, 150, {{clock, -120, 50}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock image = makeDefaultImage();
        image[field::mffStartLevel] = 80;
        image[field::mffLevel1] = 85;
        image[field::mffLevel2] = 90;
        image[field::mffLevel3] = 95;
        image[field::mffStopLevel] = 100;
        c.setup(image);
        ProfileRequest request = winterNight();
        request.ageHours = c.ageHours;
        const NightProfile profile = profileOf(image, request);
        for (const Reading& r : c.readings) {
            const int minute = r.from == on ? profile.switchOn + r.minute : r.minute;
            EXPECT_NEAR(levelAt(profile, minute), r.level, 1e-9) << clockText(minute);
        }
    }
}

TEST(NightProfile, NoNightNoDayAndDatesBeforeTheSeries)
{
    const NightProfile midsummer = profileOf(makeDefaultImage(), {.date = kSummer, .latitude = 75});
    EXPECT_EQ(midsummer.twilight, Twilight::alwaysAbove);
    EXPECT_TRUE(midsummer.levels.empty());
    EXPECT_FALSE(midsummer.energy().has_value());

    // No day: the light burns from noon to noon around midnight.
    const NightProfile midwinter = profileOf(makeDefaultImage(), {.date = kWinter, .latitude = 75});
    EXPECT_EQ(midwinter.twilight, Twilight::alwaysBelow);
    EXPECT_EQ(midwinter.levels.size(), 24u * 60);
    EXPECT_EQ(clockText(midwinter.switchOn), "12:00");
    EXPECT_NEAR(*midwinter.energy(), 1 - 420 * 0.5 / 1440, 1e-9);

    EXPECT_FALSE(nightProfile(makeDefaultImage(), {.date = {31, 12, 1999}}).has_value());
}

TEST(NightProfile, TextsOfTimesAndSavings)
{
    const struct {
        double minute;
        const char* text;
    } times[] = {{-120, "22:00"}, {300, "05:00"}, {-0.4, "00:00"}, {-440, "16:40"}, {-1440, "00:00"}, {719.6, "12:00"}};
    for (const auto& t : times)
        EXPECT_EQ(clockText(t.minute), t.text) << t.minute;
    EXPECT_EQ(savedText(1), "0.0 %");
    EXPECT_EQ(savedText(0.25), "75.0 %");
    for (const std::string_view assumption : profileAssumptions())
        EXPECT_FALSE(assumption.empty());
    EXPECT_EQ(profileAssumptions().front(), "An estimate, not the controller's own record.");
}

// The README lists what the estimate assumes, one item per assumption, as the model says it.
TEST(NightProfile, TheReadmeListsEveryAssumption)
{
    std::ifstream readme(ORMID_README);
    ASSERT_TRUE(readme.is_open());
    std::set<std::string> items;
    for (std::string line; std::getline(readme, line);)
        if (line.starts_with("- "))
            items.insert(line.substr(2));
    for (const std::string_view assumption : profileAssumptions())
        EXPECT_TRUE(items.contains(std::string(assumption))) << assumption;
}

TEST(NightLength, DuskAndDawnLieAroundSolarMidnight)
{
    const struct {
        CalendarDay date;
        double latitude;
        double twilight;
        long double dusk;
        long double dawn;
    } cases[] = {
        {{1, 1, 2000}, 0, 0, 18, 6},      // 12 hours at the equator on the series' first day
        {{21, 6, 2017}, 75, -3, 24, 0},   // no night: both at midnight
        {{21, 12, 2017}, 75, -3, 12, 12}, // no day: both at noon
    };
    for (const auto& c : cases) {
        const auto night = nightAt(c.date.day, c.date.month, c.date.year, c.latitude, c.twilight);
        ASSERT_TRUE(night.has_value());
        EXPECT_NEAR(static_cast<double>(night->dusk), static_cast<double>(c.dusk), 0.01);
        EXPECT_NEAR(static_cast<double>(night->dawn), static_cast<double>(c.dawn), 0.01);
    }
    const auto winter = nightAt(21, 12, 2017, 50, -6);
    ASSERT_TRUE(winter.has_value());
    EXPECT_NEAR(static_cast<double>(24 - winter->dusk + winter->dawn), static_cast<double>(winter->hours), 1e-12);
    EXPECT_EQ(dayAfter({31, 12, 2016}), (CalendarDay{1, 1, 2017}));
    EXPECT_EQ(dayAfter({28, 2, 2016}), (CalendarDay{29, 2, 2016}));
    EXPECT_EQ(dayAfter({1, 1, 2017}, 364), (CalendarDay{31, 12, 2017}));
}

} // namespace
} // namespace ormid
