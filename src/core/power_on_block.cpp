#include "core/power_on_block.h"

#include <algorithm>

#include "core/encodings.h"
#include "core/step_values.h"

namespace ormid {

PowerOnSettings powerOnSettings(const EeBlock& image)
{
    const Byte delay = image[field::powerOnDelay];
    return {
        .level = image[field::powerOnLevel],
        .delaySeconds = delay == kRandomDelay ? std::nullopt : std::optional<int>(decodeTimeCode(delay)),
        .fadeMs = decodeTimeCode(image[field::powerOnFade]),
    };
}

PowerOnFields readPowerOn(const EeBlock& image)
{
    const PowerOnSettings settings = powerOnSettings(image);
    PowerOnFields fields{
        .delay = settings.delaySeconds ? secondsText(*settings.delaySeconds) : std::string(kRandomText),
        .fade = millisecondsText(settings.fadeMs),
        .level = std::to_string(settings.level),
    };
    fields.dpc = dpcAvailable(fields.delay) && TestBit(image[field::optionByte], bit::dpcEnable);
    return fields;
}

bool dpcAvailable(std::string_view delayText)
{
    return delayText != "0";
}

std::optional<std::string> setRandomDelay(EeBlock& image, bool random)
{
    Byte& delay = image[field::powerOnDelay];
    if (random) {
        delay = kRandomDelay;
        return std::string(kRandomText);
    }
    if (delay != kRandomDelay)
        return std::nullopt;
    delay = 0;
    return "0";
}

void applyPowerOn(EeBlock& image, const PowerOnFields& fields, bool remoteMode)
{
    image[field::powerOnLevel] = static_cast<Byte>(levelOf(fields.level).value_or(0));
    image[field::powerOnDelay] = fields.delay == kRandomText
        ? kRandomDelay
        : static_cast<Byte>(encodeTimeCode(std::min(parseSeconds(fields.delay).value_or(0), kLargestTime)));
    if (remoteMode) {
        const auto rate = parseFadeRate(fields.fade).value_or(kFadeCount);
        image[field::powerOnFade] = fadeCodes[std::min<std::size_t>(static_cast<std::size_t>(rate), kFadeCount - 1)];
    } else {
        image[field::powerOnFade]
            = static_cast<Byte>(encodeTimeCode(std::min(parseMilliseconds(fields.fade).value_or(0), kLargestTime)));
    }
    Byte& options = image[field::optionByte];
    options = fields.dpc ? SetBit(options, bit::dpcEnable) : ClearBit(options, bit::dpcEnable);
}

} // namespace ormid
