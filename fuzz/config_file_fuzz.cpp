// The configuration file (.kdc): any bytes loaded with every combination of
// "-noLoadCheck" and "-copyAstro" over an image of every size the window holds, and
// the save -> load round trip, both of an image and info text taken from the input
// and of whatever a load took in.

#include <algorithm>
#include <string>

#include "files/config_file.h"
#include "fuzz_input.h"

namespace ormid::fuzz {
namespace {

constexpr std::size_t kImageSizes[] = {0, kStoredImageBytes, kImageSize, kDeviceImageSize};

// True when a and b hold the same bytes from .. to - 1 (none when to <= from).
bool sameBytes(const EeBlock& a, const EeBlock& b, std::size_t from, std::size_t to)
{
    if (to <= from)
        return true;
    return a.size() >= to && b.size() >= to && std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
}

bool astroCleared(const EeBlock& image)
{
    return std::all_of(image.begin() + field::astroDataFirst, image.begin() + field::astroDataLast + 1,
                       [](Byte b) { return b == 0; });
}

// What a load took in, saved and loaded again, gives the same bytes 0..95 (0xFF after
// them) and the same info text, and saving that gives the same file.
void checkSavedAgain(const ConfigLoadResult& loaded)
{
    const std::string file = saveConfiguration(loaded.image, *loaded.info);
    const ConfigLoadResult again = loadConfiguration(file, loaded.image, {.noLoadCheck = false, .copyAstro = true});
    FUZZ_CHECK(again.outcome == ConfigLoadOutcome::Loaded && again.kind == ConfigFileKind::Configuration);
    FUZZ_CHECK(again.messages.empty());
    FUZZ_CHECK(sameBytes(again.image, loaded.image, 0, kStoredImageBytes));
    FUZZ_CHECK(std::all_of(again.image.begin() + kStoredImageBytes, again.image.begin() + kImageSize,
                           [](Byte b) { return b == 0xFF; }));
    FUZZ_CHECK(again.info == loaded.info);
    FUZZ_CHECK(saveConfiguration(again.image, *again.info) == file);
}

void checkLoad(const std::string& file, const EeBlock& current)
{
    const ConfigLoadResult checked = loadConfiguration(file, current, {});
    for (const bool noLoadCheck : {false, true}) {
        for (const bool copyAstro : {false, true}) {
            const ConfigLoadResult r
                = loadConfiguration(file, current, {.noLoadCheck = noLoadCheck, .copyAstro = copyAstro});
            FUZZ_CHECK(r.kind == checked.kind);
            // Skipping the CRC check never refuses what the check takes.
            FUZZ_CHECK(checked.outcome != ConfigLoadOutcome::Loaded || r.outcome == ConfigLoadOutcome::Loaded);
            FUZZ_CHECK(r.info.has_value() == (r.outcome == ConfigLoadOutcome::Loaded));
            switch (r.outcome) {
            case ConfigLoadOutcome::Loaded:
            case ConfigLoadOutcome::Corrupted:
                FUZZ_CHECK(r.image.size() == std::max(current.size(), kImageSize));
                FUZZ_CHECK(sameBytes(r.image, current, kImageSize, current.size()));
                FUZZ_CHECK(copyAstro || astroCleared(r.image));
                break;
            case ConfigLoadOutcome::Ignored:
            case ConfigLoadOutcome::Firmware:
            case ConfigLoadOutcome::NotRecognised:
                FUZZ_CHECK(r.image == current); // nothing changed
                break;
            }
            if (r.outcome == ConfigLoadOutcome::Corrupted && copyAstro)
                FUZZ_CHECK(sameBytes(r.image, current, 0, current.size()));
            if (r.outcome == ConfigLoadOutcome::Loaded)
                checkSavedAgain(r);
        }
    }
}

void checkRoundTrip(const EeBlock& image, const std::string& info)
{
    const std::string file = saveConfiguration(image, info);
    const ConfigLoadResult loaded = loadConfiguration(file, image, {.noLoadCheck = false, .copyAstro = true});
    FUZZ_CHECK(loaded.outcome == ConfigLoadOutcome::Loaded);
    FUZZ_CHECK(sameBytes(loaded.image, image, 0, kStoredImageBytes));
    checkSavedAgain(loaded);
}

} // namespace
} // namespace ormid::fuzz

// Input: one byte choosing the size of the image the load starts from (bits 0-1) and
// how many of the file's first bytes are the info text of the round trip (bits 2-5),
// then the file. The round trip saves the image with the file's first 96 bytes in it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const Byte choice = input.byte();
    const std::string file = input.restText();

    EeBlock current = makeDefaultImage();
    current.resize(fuzz::kImageSizes[choice & 0x03], 0x5A);
    fuzz::checkLoad(file, current);

    EeBlock image = makeDefaultImage();
    std::copy_n(file.begin(), std::min(file.size(), kStoredImageBytes), image.begin());
    fuzz::checkRoundTrip(image, file.substr(0, (choice >> 2) & 0x0F));
    return 0;
}
