// Writes the placeholder firmware container the program carries when no image from
// the device maker is supplied: size 5704, version 77, 45 data lines of
// deterministic bytes, the last line filled with FF, lines ending in CR LF.
// Usage: make_placeholder_firmware OUTPUT.kdp

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/crc16.h"
#include "core/file_signatures.h"
#include "core/text_lines.h"
#include "link/firmware_container.h"

namespace {

constexpr std::uint16_t kSize = 5704;
constexpr ormid::Byte kVersion = 77;

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_placeholder_firmware OUTPUT.kdp\n");
        return 2;
    }
    const std::size_t lines = (kSize + ormid::kFirmwareLineBytes - 1) / ormid::kFirmwareLineBytes;
    std::vector<ormid::Byte> data(lines * ormid::kFirmwareLineBytes, 0xFF);
    for (std::size_t i = 0; i < kSize; ++i)
        data[i] = static_cast<ormid::Byte>((i * 37 + 11) ^ (i >> 8));

    using ormid::hexNumber;
    std::string text = std::string(ormid::fileSignature(ormid::SignedFileKind::firmwareContainer)) + hexNumber(kSize, 4)
        + hexNumber(kVersion, 2) + hexNumber(ormid::crc16(data), 4) + "\r\n";
    for (std::size_t at = 0; at < data.size(); at += ormid::kFirmwareLineBytes)
        text += ormid::hexBytes(ormid::ByteSpan(data).subspan(at, ormid::kFirmwareLineBytes)) + "\r\n";

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) {
        std::fprintf(stderr, "make_placeholder_firmware: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
