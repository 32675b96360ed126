#pragma once
// Tells the program's file kinds apart: configuration files by their first line,
// firmware containers likewise, dimming curves by extension or content.

#include <string_view>

namespace ormid {

enum class FileKind { Configuration, OldConfiguration, FirmwareContainer, DimmingCurve, Unknown };

// The first line decides where it names a kind; otherwise a ".dc" name, or content
// of integer lines only, makes a dimming curve.
FileKind classifyFile(std::string_view bytes, std::string_view fileName);

// "configuration", "old-form configuration", "firmware container", "dimming curve", "unknown".
std::string_view fileKindName(FileKind kind);

} // namespace ormid
