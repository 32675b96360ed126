#include "files/ini_file.h"

#include <algorithm>

#include "core/text_lines.h"

namespace ormid {

namespace {

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

IniFile IniFile::parse(std::string_view text)
{
    IniFile file;
    std::string section;
    for (const std::string_view textLine : splitTextLines(text)) {
        const std::string_view line = trimmed(textLine);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close != std::string_view::npos)
                section = trimmed(line.substr(1, close - 1));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(line.substr(0, equals));
        if (!key.empty())
            file.entries_.push_back(
                {section, std::string(key), std::string(unquoted(trimmed(line.substr(equals + 1))))});
    }
    return file;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return sameName(e.section, section) && sameName(e.key, key);
    });
    if (entry == entries_.end())
        return std::nullopt;
    return entry->value;
}

} // namespace ormid
