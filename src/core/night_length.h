#pragma once
// The length of the night for a date, a latitude and a twilight angle, from a
// low-precision series of the sun's position, in extended precision.

#include <optional>
#include <string>

namespace ormid {

// Fliegel–Van Flandern, integer arithmetic.
long julianDayNumber(int day, int month, int year);
// An angle in radians brought into [0, 2π).
long double normalizeAngle(long double x);
// The obliquity of the ecliptic in radians, T in Julian centuries since J2000.0.
long double eclipticObliquity(long double T);
long double sunDeclination(long double T);
// "HH:MM", minutes taken to the nearest, halves to even.
std::string hoursToHM(long double hours);

// `CalcLoN`: hours from evening to morning twilight. nullopt before the year 2000, and
// when the sun does not reach the twilight angle that day (no night, or no day).
std::optional<long double> lengthOfNight(int day, int month, int year, int latitudeHalfDegrees, int horizonHalfDegrees);

} // namespace ormid
