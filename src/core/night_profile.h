#pragma once
// Tonight's light: the output a configuration gives over one night at a site, minute by
// minute from switch-on to switch-off, with the steps that shape it and the energy it
// saves. An estimate: where the controller's own timing is not known the model takes
// what profileAssumptions() lists.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"
#include "core/night_length.h"

namespace ormid {

constexpr int kMinutesPerDay = 24 * 60;

// The site, the night and what the configuration alone does not tell.
struct ProfileRequest {
    CalendarDay date{};                         // the evening the night starts
    double latitude = kCalculatorLatitude;      // degrees, north positive
    double twilight = kCalculatorTwilight;      // the sun's elevation at switching, degrees
    std::optional<int> lstEvent = std::nullopt; // clock time of the LSt event, minutes after 00:00
    double ageHours = 0;                        // the luminaire's operating hours
};

enum class ProfileMarkKind { switchOn, lightOn, blockEnd, engine1Step, lstEvent, engine2Step, switchOff };

// Something that happens in the night, at a clock time.
struct ProfileMark {
    ProfileMarkKind kind;
    double minute;  // clock minutes from midnight, negative before it
    int step = 0;   // engine steps: 1..10
    int level = 0;  // the level the mark leads to, percent (steps, light on)
    int fadeMs = 0; // its fade, milliseconds per percent
    bool relayOff = false;
};

struct NightProfile {
    Twilight twilight = Twilight::crossed;
    int switchOn = 0;           // clock minutes from midnight, negative in the evening
    int switchOff = 0;          // clock minutes from midnight
    double middle = 0;          // the night's middle, clock minutes from midnight
    int offsetMinutes = 0;      // the ISD offset in force that night
    bool dst = false;           // summer time that night
    std::vector<double> levels; // output in percent, minute i after switch-on
    std::vector<ProfileMark> marks;
    std::vector<std::string> notes; // what this configuration leaves out that night

    // The night's energy against full output all night, 0..1; nullopt without a night.
    std::optional<double> energy() const;
};

// The night `request` asks for; nullopt for a date before the sun series holds.
std::optional<NightProfile> nightProfile(const EeBlock& image, const ProfileRequest& request);

// The energy of the 365 nights from 1 January of the request's year against full
// output all those nights, 0..1; nullopt when none of them has a night.
std::optional<double> yearEnergy(const EeBlock& image, const ProfileRequest& request);

// What the model takes where the controller's behaviour is not known, each worded as an estimate.
const std::vector<std::string_view>& profileAssumptions();

// "22:30" for clock minutes from midnight (negative ones are the evening before).
std::string clockText(double minute);
// Percent saved for an energy fraction, one decimal: "23.9 %".
std::string savedText(double energy);

} // namespace ormid
