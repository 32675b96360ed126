#include "files/file_kind.h"

#include <algorithm>
#include <array>

#include "core/file_signatures.h"
#include "core/text_lines.h"
#include "files/dimming_curve_file.h"

namespace ormid {

namespace {

struct KindEntry {
    FileKind kind;
    std::string_view name;
};

constexpr std::array<KindEntry, 5> kKinds = {{
    {FileKind::Configuration, "configuration"},
    {FileKind::OldConfiguration, "old-form configuration"},
    {FileKind::FirmwareContainer, "firmware container"},
    {FileKind::DimmingCurve, "dimming curve"},
    {FileKind::Unknown, "unknown"},
}};

// The kind a file's signature names (core/file_signatures.h).
FileKind kindNamedBy(SignedFileKind kind)
{
    switch (kind) {
    case SignedFileKind::configuration:
        return FileKind::Configuration;
    case SignedFileKind::oldConfiguration:
        return FileKind::OldConfiguration;
    case SignedFileKind::firmwareContainer:
        return FileKind::FirmwareContainer;
    }
    return FileKind::Unknown;
}

// The first lines decide: a curve has no more than these, and a huge file costs no more.
bool isIntegerLines(std::string_view bytes)
{
    const auto lines = splitTextLines(bytes, kCurvePoints + 1);
    return !lines.empty() && std::all_of(lines.begin(), lines.end(), [](std::string_view line) {
        return parseCurveValue(line).has_value();
    });
}

} // namespace

FileKind classifyFile(std::string_view bytes, std::string_view fileName)
{
    if (const auto kind = signedFileKind(withoutByteOrderMark(bytes)))
        return kindNamedBy(*kind);
    if (hasCurveExtension(fileName) || isIntegerLines(bytes))
        return FileKind::DimmingCurve;
    return FileKind::Unknown;
}

std::string_view fileKindName(FileKind kind)
{
    const auto entry
        = std::find_if(kKinds.begin(), kKinds.end(), [kind](const KindEntry& e) { return e.kind == kind; });
    return entry->name;
}

} // namespace ormid
