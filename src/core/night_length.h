#pragma once
// The length of the night for a date, a latitude and a twilight angle, from a
// low-precision series of the sun's position, in extended precision.

#include <optional>
#include <string>

namespace ormid {

// The first year the series holds for.
constexpr int kFirstSeriesYear = 2000;

// Where the window's length-of-night calculator starts: N 50, the sun 3° below the horizon.
constexpr double kCalculatorLatitude = 50;
constexpr double kCalculatorTwilight = -3;

// A day of the calendar.
struct CalendarDay {
    int day;
    int month;
    int year;

    bool operator==(const CalendarDay&) const = default;
};
// The day after, and the day `days` on.
CalendarDay dayAfter(const CalendarDay& date, int days = 1);

// Fliegel–Van Flandern, integer arithmetic.
long julianDayNumber(int day, int month, int year);
// An angle in radians brought into [0, 2π).
long double normalizeAngle(long double x);
// The obliquity of the ecliptic in radians, T in Julian centuries since J2000.0.
long double eclipticObliquity(long double T);
long double sunDeclination(long double T);
// "HH:MM", minutes taken to the nearest, halves to even.
std::string hoursToHM(long double hours);

// Whether the sun crosses the twilight angle that day: a night between evening and
// morning twilight, or none because it stays above (no night) or below (no day).
enum class Twilight { crossed, alwaysAbove, alwaysBelow };

struct Night {
    Twilight twilight;
    long double hours; // evening to morning twilight: 0 without a night, 24 without a day
    // Local solar time in hours of evening twilight (12..24) and of morning twilight the
    // next day (0..12). Noon is 12:00 solar time, so the night's middle is solar midnight.
    // Without a night both lie at midnight (24 and 0); without a day both at noon.
    long double dusk;
    long double dawn;
};

// The night for a latitude (degrees, north positive) and a twilight angle (the sun's
// elevation in degrees, negative below the horizon). nullopt before `kFirstSeriesYear`.
std::optional<Night> nightAt(int day, int month, int year, long double latitudeDegrees, long double horizonDegrees);

// The length of night in hours, from evening to morning twilight; angles in half
// degrees. nullopt before the year 2000, and when the sun does not cross the twilight
// angle that day.
std::optional<long double> lengthOfNight(int day, int month, int year, int latitudeHalfDegrees, int horizonHalfDegrees);

} // namespace ormid
