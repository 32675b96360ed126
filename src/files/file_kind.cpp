#include "files/file_kind.h"

#include <algorithm>
#include <array>

#include "core/text_lines.h"
#include "files/dimming_curve_file.h"

namespace ormid {

namespace {

struct KindEntry {
    FileKind kind;
    std::string_view magic;  // start of line 1; empty where content does not name the kind
    std::string_view name;
};

constexpr std::array<KindEntry, 5> kKinds = {{
    {FileKind::Configuration, "MMN", "configuration"},
    {FileKind::OldConfiguration, "MEM", "old-form configuration"},
    {FileKind::FirmwareContainer, "FWX", "firmware container"},
    {FileKind::DimmingCurve, "", "dimming curve"},
    {FileKind::Unknown, "", "unknown"},
}};

bool isIntegerLines(std::string_view bytes)
{
    const auto lines = splitTextLines(bytes);
    return !lines.empty()
           && std::all_of(lines.begin(), lines.end(), [](std::string_view line) { return parseCurveValue(line).has_value(); });
}

} // namespace

FileKind classifyFile(std::string_view bytes, std::string_view fileName)
{
    for (const auto& entry : kKinds)
        if (!entry.magic.empty() && bytes.starts_with(entry.magic))
            return entry.kind;
    if (hasCurveExtension(fileName) || isIntegerLines(bytes))
        return FileKind::DimmingCurve;
    return FileKind::Unknown;
}

std::string_view fileKindName(FileKind kind)
{
    const auto entry = std::find_if(kKinds.begin(), kKinds.end(), [kind](const KindEntry& e) { return e.kind == kind; });
    return entry->name;
}

} // namespace ormid
