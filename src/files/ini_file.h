#pragma once
// Reads INI-style settings files ("[Section]" lines, "key=value" lines) as the program's
// settings file pdf.ini is written on any system: section and key names match without
// regard to case, the first of two equal keys counts, lines starting with ';' or '#'
// are comments, blanks around names and values do not count, and a value enclosed in
// double or single quotes loses them. A ';' inside a value is part of it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ormid {

class IniFile {
public:
    // Never fails: lines that are neither a section, a key nor a comment are skipped.
    static IniFile parse(std::string_view text);

    // The value of `key` in `section`; nullopt when the file has no such key.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> entries_;
};

} // namespace ormid
