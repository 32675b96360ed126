#pragma once
// The configuration file (.kdc): line 1 "MMN" + CRC-16 + info text, then image
// bytes 0..95 as six lines of 32 hexadecimal digits, every line ending CR LF.
// Pure functions: the caller reads and writes the file.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace ormid {

namespace configMessage {
inline constexpr std::string_view oldFormat = "Old Format: Please check Parameter!";
inline constexpr std::string_view corrupted = "File is corrupted!";
inline constexpr std::string_view notRecognised = "Not a configuration or firmware file!";
} // namespace configMessage

constexpr std::size_t kInfoLength = 8;
// A configuration file has seven lines of about 34 bytes; one far larger is none.
constexpr std::size_t kMaxConfigurationFileSize = 64 * 1024;

// What the first line announced.
enum class ConfigFileKind { None, Configuration, OldConfiguration, Firmware, Unknown };

enum class ConfigLoadOutcome {
    Ignored,       // fewer than 2 lines, or no data line after the header: nothing happens
    Loaded,        // the file's bytes and info text were taken
    Corrupted,     // "File is corrupted!": only the astro rule touched the image
    Firmware,      // a firmware container; the caller hands it to the firmware side
    NotRecognised, // "Not a configuration or firmware file!"; nothing changed
};

struct ConfigLoadOptions {
    bool noLoadCheck = false; // take the data despite a wrong CRC
    bool copyAstro = false;   // keep the astro bytes 76..84 of the file
};

struct ConfigLoadResult {
    ConfigFileKind kind = ConfigFileKind::None;
    ConfigLoadOutcome outcome = ConfigLoadOutcome::Ignored;
    std::vector<std::string_view> messages; // to show, in order
    EeBlock image;                          // the new image (the given one where nothing changed)
    std::optional<std::string> info;        // UTF-8; set when the file's info text was taken
};

// The file bytes for image bytes 0..95 and the first 8 characters of the info text.
std::string saveConfiguration(const EeBlock& image, std::string_view infoUtf8);

// Reads a file as "Load" does, starting from `currentImage`, which is left as it is.
ConfigLoadResult loadConfiguration(std::string_view fileBytes, const EeBlock& currentImage, ConfigLoadOptions options);

// "Load" as the window does it: the file taken, then the redraw's rules (a function
// whose engine has no first step is off; in the remote layout levels and fades in the
// form remote frames carry). The window and every command that reads a file "as Load
// does" hold the same image.
ConfigLoadResult loadAndRedraw(std::string_view fileBytes, const EeBlock& currentImage, ConfigLoadOptions options,
                               bool remoteLayout);

} // namespace ormid
