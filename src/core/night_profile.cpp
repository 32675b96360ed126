#include "core/night_profile.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/block_timer_block.h"
#include "core/dimming_engines.h"
#include "core/encodings.h"
#include "core/isd_block.h"
#include "core/lst_block.h"
#include "core/mff_block.h"
#include "core/output_block.h"
#include "core/power_on_block.h"

namespace ormid {

namespace {

constexpr double kFullOutput = kLevelMaximum;
constexpr double kSecondsPerMinute = 60;
constexpr int kDstMinutes = 60;
constexpr int kNightsPerYear = 365;

// Whether summer time is in force on the night. Set by hand, the DST box says it; with
// automatic DST the night's length decides, against the threshold of the season: while
// the nights shorten summer time starts at the "DST Start" length, while they lengthen
// it lasts until the "DST End" length.
bool summerTime(const EeBlock& image, const ProfileRequest& request, const Night& tonight)
{
    const auto nights = autoDstNights(image);
    if (!nights)
        return dstInForce(image);
    const CalendarDay next = dayAfter(request.date);
    const auto tomorrow = nightAt(next.day, next.month, next.year, request.latitude, request.twilight);
    const bool shortening = tomorrow && tomorrow->hours < tonight.hours;
    const double minutes = static_cast<double>(tonight.hours) * 60;
    return shortening ? minutes <= nights->startMinutes : minutes < nights->endMinutes;
}

// The ISD offset of the night. The stored one holds the DST box's hour; automatic DST
// takes that hour off or puts it on as the season asks.
int offsetTonight(const EeBlock& image, bool summer)
{
    const int stored = isdOffsetMinutes(image);
    if (!autoDstNights(image))
        return stored;
    const int winter = stored + (dstInForce(image) ? kDstMinutes : 0);
    return summer ? winter - kDstMinutes : winter;
}

// The maintenance factor's level at the age, as a fraction: a straight line between its
// five points, the stop level once the lifetime is over.
double maintenanceFactor(const EeBlock& image, double ageHours)
{
    const auto curve = mffCurve(image);
    if (!curve)
        return 1;
    const double quarters = std::clamp(ageHours / (curve->lifetimeHours / 4.0), 0.0, 4.0);
    const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(quarters), 3);
    const double from = curve->levels[i];
    const double to = curve->levels[i + 1];
    return std::clamp(from + (to - from) * (quarters - static_cast<double>(i)), 0.0, kFullOutput) / kFullOutput;
}

// What changes the light, in the order it is applied at one time.
enum class CommandKind { step, lightOn, blockEnd };

struct Command {
    double at; // seconds from midnight
    CommandKind kind;
    double level = 0; // steps
    int fadeMs = 0;
};

// The light through the night: the level it fades to, the blocking period, and the
// output the driver gives (the maintenance factor, the minimum level as floor).
class Light {
public:
    Light(double start, bool blocked, double startLevel, double maintenance, double minLevel)
        : now_(start), blocked_(blocked), stepLevel_(startLevel), maintenance_(maintenance), minLevel_(minLevel)
    {
    }

    void advanceTo(double at)
    {
        if (fadeMs_ > 0 && level_ != target_) {
            const double moved = (at - now_) * 1000 / fadeMs_;
            level_ = level_ < target_ ? std::min(target_, level_ + moved) : std::max(target_, level_ - moved);
        }
        now_ = at;
    }

    void apply(const Command& command)
    {
        switch (command.kind) {
        case CommandKind::step:
            stepLevel_ = command.level;
            if (blocked_) // the block timer keeps full output; the level waits for its end
                return;
            break;
        case CommandKind::lightOn:
            lit_ = true;
            level_ = 0;
            break;
        case CommandKind::blockEnd:
            blocked_ = false;
            break;
        }
        if (lit_)
            fadeTo(blocked_ ? kFullOutput : stepLevel_, command.fadeMs);
    }

    double output() const
    {
        if (!lit_)
            return 0;
        return std::clamp(std::max(level_ * maintenance_, minLevel_), 0.0, kFullOutput);
    }

private:
    void fadeTo(double target, int fadeMs)
    {
        target_ = target;
        fadeMs_ = fadeMs;
        if (fadeMs == 0)
            level_ = target;
    }

    double now_;
    bool lit_ = false;
    bool blocked_;
    double stepLevel_;
    double maintenance_;
    double minLevel_;
    double level_ = 0;
    double target_ = 0;
    int fadeMs_ = 0;
};

std::string stepName(const char* engine, int step)
{
    return std::string(engine) + " step " + std::to_string(step);
}

// Builds one night: the switching times, then the commands and marks of each function.
class NightBuilder {
public:
    NightBuilder(const EeBlock& image, const ProfileRequest& request, NightProfile& profile)
        : image_(image), request_(request), profile_(profile), power_(powerOnSettings(image))
    {
    }

    void build()
    {
        const double start = profile_.switchOn * kSecondsPerMinute;
        const double end = profile_.switchOff * kSecondsPerMinute;
        const bool burnIn = request_.ageHours < burnInHours(image_);
        const int blockSeconds = burnIn ? 0 : blockTimeSeconds(image_);
        mark({ProfileMarkKind::switchOn, static_cast<double>(profile_.switchOn)});
        addLightOn(start, end);
        if (blockSeconds > 0 && start + blockSeconds < end) {
            commands_.push_back({start + blockSeconds, CommandKind::blockEnd, 0, power_.fadeMs});
            mark({ProfileMarkKind::blockEnd, (start + blockSeconds) / kSecondsPerMinute});
        }
        if (burnIn)
            profile_.notes.push_back("Burn-in: no dimming before " + std::to_string(burnInHours(image_))
                                     + " operating hours.");
        else
            addEngineSteps();
        mark({ProfileMarkKind::switchOff, static_cast<double>(profile_.switchOff)});
        std::stable_sort(profile_.marks.begin(), profile_.marks.end(),
                         [](const ProfileMark& a, const ProfileMark& b) { return a.minute < b.minute; });
        sample(start, blockSeconds > 0, burnIn);
    }

private:
    void mark(const ProfileMark& mark) { profile_.marks.push_back(mark); }

    void addLightOn(double start, double end)
    {
        if (!power_.delaySeconds)
            profile_.notes.emplace_back("The \"Random\" power-on delay is taken as none.");
        const double on = start + power_.delaySeconds.value_or(0);
        if (on >= end)
            return;
        commands_.push_back({on, CommandKind::lightOn, 0, power_.fadeMs});
        if (on > start)
            mark({ProfileMarkKind::lightOn, on / kSecondsPerMinute, 0, power_.level, power_.fadeMs});
    }

    // A step at `minute`: before switch-on it is in force from switch-on, after switch-off
    // it does not come.
    void addStep(ProfileMarkKind kind, const char* engine, int k, double minute, const EngineStep& step)
    {
        const std::string name = stepName(engine, k) + " (" + clockText(minute) + ")";
        if (minute >= profile_.switchOff) {
            profile_.notes.push_back(name + " falls after switch-off.");
            return;
        }
        if (minute < profile_.switchOn)
            profile_.notes.push_back(name + " falls before switch-on: in force from switch-on.");
        const double at = std::max(minute, static_cast<double>(profile_.switchOn)) * kSecondsPerMinute;
        commands_.push_back({at, CommandKind::step, static_cast<double>(step.level), step.fadeMs});
        if (minute >= profile_.switchOn)
            mark({kind, minute, k, step.level, step.fadeMs, step.relayOff});
    }

    void addEngineSteps()
    {
        if (isdOn(image_)) {
            const auto steps = usedSteps(image_, DimmingEngine::engine1);
            for (std::size_t i = 0; i < steps.size(); ++i)
                addStep(ProfileMarkKind::engine1Step, "Engine 1", static_cast<int>(i + 1), steps[i].when, steps[i]);
        } else {
            profile_.notes.emplace_back("ISD is off: dimming engine 1 does not run.");
        }
        addEngine2Steps();
    }

    void addEngine2Steps()
    {
        if (!lstOn(image_)) {
            if (request_.lstEvent)
                profile_.notes.emplace_back("The LSt input is off: the LSt event is not seen.");
            return;
        }
        if (!request_.lstEvent) {
            profile_.notes.emplace_back("Dimming engine 2 waits for an LSt event; none is given.");
            return;
        }
        // Evening times belong to the night's first half, morning times to its second.
        const int event
            = *request_.lstEvent >= kMinutesPerDay / 2 ? *request_.lstEvent - kMinutesPerDay : *request_.lstEvent;
        if (event < profile_.switchOn || event >= profile_.switchOff) {
            profile_.notes.push_back("The LSt event (" + clockText(event) + ") falls outside the night.");
            return;
        }
        mark({ProfileMarkKind::lstEvent, static_cast<double>(event)});
        double minute = event;
        const auto steps = usedSteps(image_, DimmingEngine::engine2);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            minute += steps[i].when / kSecondsPerMinute;
            addStep(ProfileMarkKind::engine2Step, "Engine 2", static_cast<int>(i + 1), minute, steps[i]);
        }
    }

    void sample(double start, bool blocked, bool burnIn)
    {
        std::stable_sort(commands_.begin(), commands_.end(), [](const Command& a, const Command& b) {
            return a.at < b.at || (a.at == b.at && a.kind < b.kind);
        });
        const double startLevel = burnIn ? kFullOutput : power_.level;
        Light light(start, blocked || burnIn, startLevel, maintenanceFactor(image_, request_.ageHours),
                    std::min<double>(readOutputSetup(image_).minLevel, kFullOutput));
        auto next = commands_.begin();
        const int minutes = profile_.switchOff - profile_.switchOn;
        profile_.levels.reserve(static_cast<std::size_t>(minutes));
        for (int i = 0; i < minutes; ++i) {
            const double at = start + i * kSecondsPerMinute;
            for (; next != commands_.end() && next->at <= at; ++next) {
                light.advanceTo(next->at);
                light.apply(*next);
            }
            light.advanceTo(at);
            profile_.levels.push_back(light.output());
        }
    }

    const EeBlock& image_;
    const ProfileRequest& request_;
    NightProfile& profile_;
    PowerOnSettings power_;
    std::vector<Command> commands_;
};

} // namespace

std::optional<double> NightProfile::energy() const
{
    if (levels.empty())
        return std::nullopt;
    double sum = 0;
    for (const double level : levels)
        sum += level;
    return sum / (kFullOutput * static_cast<double>(levels.size()));
}

std::optional<NightProfile> nightProfile(const EeBlock& image, const ProfileRequest& request)
{
    const CalendarDay& d = request.date;
    const auto night = nightAt(d.day, d.month, d.year, request.latitude, request.twilight);
    if (!night)
        return std::nullopt;
    NightProfile profile;
    profile.twilight = night->twilight;
    profile.dst = summerTime(image, request, *night);
    profile.offsetMinutes = offsetTonight(image, profile.dst);
    // Clock time is solar time less the offset: the night's middle, solar midnight, lies
    // at minus the offset on the clock.
    profile.middle = -profile.offsetMinutes;
    const double length = static_cast<double>(night->hours) * 60;
    profile.switchOn = static_cast<int>(std::lrint(profile.middle - length / 2));
    profile.switchOff = profile.switchOn + static_cast<int>(std::lrint(length));
    if (profile.switchOff > profile.switchOn)
        NightBuilder(image, request, profile).build();
    return profile;
}

std::optional<double> yearEnergy(const EeBlock& image, const ProfileRequest& request)
{
    ProfileRequest night = request;
    night.date = {1, 1, request.date.year};
    double used = 0;
    double full = 0;
    for (int n = 0; n < kNightsPerYear; ++n, night.date = dayAfter(night.date)) {
        const auto profile = nightProfile(image, night);
        if (!profile || profile->levels.empty())
            continue;
        for (const double level : profile->levels)
            used += level;
        full += kFullOutput * static_cast<double>(profile->levels.size());
    }
    if (full == 0)
        return std::nullopt;
    return used / full;
}

const std::vector<std::string_view>& profileAssumptions()
{
    static const std::vector<std::string_view> texts = {
        "An estimate, not the controller's own record.",
        "Switch-on and switch-off are taken where the sun crosses the twilight angle, as the "
        "length-of-night calculator computes it; a photocell switches at its own light level.",
        "Solar noon is taken at 12:00 local solar time: the equation of time (up to 16 minutes) is left out.",
        "Midnight is taken in the middle of the night, moved by the ISD offset (negative: earlier); "
        "clock times are those the offset gives. A controller that learns the middle over several "
        "nights places it a little differently.",
        "With the DST box the stored offset already holds its hour. With Auto DST summer time is taken "
        "from the first night no longer than the \"DST Start\" length while the nights shorten, until the "
        "first night at least as long as the \"DST End\" length while they lengthen.",
        "Before the first step the level is the power-on level; a step due before switch-on is taken "
        "as in force from switch-on.",
        "A fade is taken as a straight line in percent at its speed, starting from the level reached; "
        "whichever engine's step falls due last sets the level.",
        "A \"Random\" power-on delay is taken as none; during a delay the light is taken as off, then "
        "it fades in at the power-on speed.",
        "The block timer is taken as full output from switch-on, after which the level in force is "
        "reached at the power-on speed; during burn-in the level is taken as full output all night.",
        "The maintenance factor is taken to scale every level, in a straight line between its five "
        "points (the stop level after the lifetime); the minimum level is the floor.",
        "The relay, thermal management and DPC/DOO are not taken into account.",
        "Energy is taken in proportion to the output level, against full output all night; the year "
        "is the 365 nights from 1 January.",
    };
    return texts;
}

std::string clockText(double minute)
{
    const long rounded = std::lrint(minute);
    const long inDay = ((rounded % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay;
    return padded(static_cast<int>(inDay / 60), 2) + ":" + padded(static_cast<int>(inDay % 60), 2);
}

std::string savedText(double energy)
{
    // to_chars: a point whatever the user's locale, like every other number of the model.
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, (1 - energy) * kFullOutput, std::chars_format::fixed, 1);
    return std::string(text, end.ptr) + " %";
}

} // namespace ormid
