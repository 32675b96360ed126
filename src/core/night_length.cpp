#include "core/night_length.h"

#include <chrono>
#include <cmath>

#include "core/encodings.h"

namespace ormid {

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;
constexpr long double kTwoPi = 2 * kPi;
constexpr long J2000 = 2451545;

long double radians(long double degrees)
{
    return degrees * kPi / 180;
}

// The night from the hours between solar noon and evening twilight (0..12).
Night nightFromHalfDay(Twilight twilight, long double halfDay)
{
    return {twilight, 2 * (12 - halfDay), 12 + halfDay, 12 - halfDay};
}

} // namespace

CalendarDay dayAfter(const CalendarDay& date, int days)
{
    using namespace std::chrono;
    const year_month_day next{
        sys_days{year{date.year} / month{static_cast<unsigned>(date.month)} / day{static_cast<unsigned>(date.day)}}
        + std::chrono::days{days}};
    return {static_cast<int>(static_cast<unsigned>(next.day())), static_cast<int>(static_cast<unsigned>(next.month())),
            static_cast<int>(next.year())};
}

long julianDayNumber(int day, int month, int year)
{
    const long a = (month - 14) / 12;
    return (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 - (3 * ((year + 4900 + a) / 100)) / 4
        + day - 32075;
}

long double normalizeAngle(long double x)
{
    long double result = x - kTwoPi * std::nearbyint(x / kTwoPi); // the default rounding: halves to even
    if (result < 0)
        result += kTwoPi;
    return result;
}

long double eclipticObliquity(long double T)
{
    return (23.43929111L + (-46.815L * T - 0.00059L * T * T + 0.001813L * T * T * T) / 3600) * kPi / 180;
}

long double sunDeclination(long double T)
{
    const long double M = normalizeAngle(kTwoPi * (0.993133L + 99.997361L * T));
    const long double L = normalizeAngle(
        kTwoPi * (0.7859453L + M / kTwoPi + (6893 * std::sin(M) + 72 * std::sin(2 * M) + 6191.2L * T) / 1296000));
    return std::asin(std::sin(eclipticObliquity(T)) * std::sin(L));
}

std::string hoursToHM(long double hours)
{
    long whole = static_cast<long>(hours);
    long minutes = std::lrint((hours - whole) * 60);
    if (minutes == 60) {
        ++whole;
        minutes = 0;
    }
    return padded(static_cast<int>(whole), 2) + ":" + padded(static_cast<int>(minutes), 2);
}

std::optional<Night> nightAt(int day, int month, int year, long double latitudeDegrees, long double horizonDegrees)
{
    if (year < kFirstSeriesYear)
        return std::nullopt;
    const long double phi = radians(latitudeDegrees);
    const long double h = radians(horizonDegrees);
    const long double T = (julianDayNumber(day, month, year) - J2000) / 36525.0L;
    const long double delta = sunDeclination(T);
    // The cosine of the hour angle at which the sun crosses h; beyond ±1 it never does.
    const long double c = (std::sin(h) - std::sin(phi) * std::sin(delta)) / (std::cos(phi) * std::cos(delta));
    if (c < -1)
        return nightFromHalfDay(Twilight::alwaysAbove, 12);
    if (c > 1)
        return nightFromHalfDay(Twilight::alwaysBelow, 0);
    return nightFromHalfDay(Twilight::crossed, std::acos(c) * 12 / kPi);
}

std::optional<long double> lengthOfNight(int day, int month, int year, int latitudeHalfDegrees, int horizonHalfDegrees)
{
    const auto night = nightAt(day, month, year, latitudeHalfDegrees / 2.0L, horizonHalfDegrees / 2.0L);
    if (!night || night->twilight != Twilight::crossed)
        return std::nullopt;
    return night->hours;
}

} // namespace ormid
