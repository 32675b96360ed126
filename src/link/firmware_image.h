#pragma once
// The firmware image the program carries and passes on through the stick: the
// built-in container read at start-up (`loadEmbeddedFirmware`), a firmware file from "Load", and
// the 128-byte blocks that store the image in a stick's own memory.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"
#include "link/firmware_container.h"
#include "link/stick_frames.h"

namespace ormid {

struct FirmwareImage {
    std::vector<Byte> fwImage;  // kFirmwareBufferSize bytes, empty when no valid image is loaded
    std::uint16_t fwSize = 0;   // image size from the container header
    Byte fwVersion = 0;         // version written into the stick's firmware record
    Byte embeddedFwVersion = 0; // version in the built-in container's header
    Byte stickFwVersion = 0;    // version in the stick's firmware record, 0 without one
    bool fwPending = false;     // memory mode: the image goes into the stick with the next Transfer
};

// The icon `iFW` hint: "Version 1." + version, with " (Update!)" when the stick is to get it.
std::string firmwareHint(Byte version, bool update = false);

// Reads the built-in container. Returns the hint to show the icon with,
// nullopt when the image was not taken (wrong CRC, a size that does not fit the
// buffer, or one its lines do not hold); `embeddedFwVersion` takes the header's version
// in any case.
std::optional<std::string> loadEmbeddedFirmware(FirmwareImage& firmware, std::string_view container, bool usbStick);

// Why a container whose lines read well still holds no image to send: an image of 0
// bytes, or a header that announces more bytes than its data lines hold (the rest
// would go out as FF). Empty when there is nothing against it.
std::string imageSizeProblem(const FirmwareContainer& container);

struct FirmwareFileLoad {
    enum class Outcome { loaded, ignoredTooLarge, refused };
    Outcome outcome = Outcome::refused;
    FirmwareHeader header;              // as the file announces it, whenever it could be read
    std::optional<std::string> hint;    // show the icon with this hint
    std::optional<std::string> message; // tell the user why the file was refused
};

// The firmware branch of "Load": a valid image becomes pending with the header's size
// and version; a size that does not fit the buffer ends the load silently; an image
// size the lines do not hold is refused (imageSizeProblem). A file that
// is not taken leaves the pending image, its size and its version as they were. The
// icon is not shown in demo mode.
FirmwareFileLoad loadFirmwareFile(FirmwareImage& firmware, std::string_view text, bool demo);

// Stick blocks of 128 bytes the image takes: `fwSize` / 128 rounded up.
std::size_t firmwareBlockCount(std::uint16_t size);
// Stick address of firmware block b: (4 + b) x 128.
std::uint16_t firmwareBlockAddress(std::size_t block);
// Image bytes b x 128 .. b x 128 + 127; bytes at or beyond `size` (or past the image) are FF.
Block firmwareBlock(const std::vector<Byte>& image, std::uint16_t size, std::size_t block);

} // namespace ormid
