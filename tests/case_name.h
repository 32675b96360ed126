#pragma once
// Names of the cases of a parameterised test, for INSTANTIATE_TEST_SUITE_P's name
// generator: CTest lists every case as Instance/Suite.Test/Name, so a name says
// which case it is (and never depends on how a parameter prints).

#include <cctype>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace ormid::test {

// `text` as a case name: letters and digits as they are, every other character
// spelled as a word ("01:02" is "01Colon02", "-dc=+7" is "DashdcIsPlus7"), so
// that different texts give different names; "Empty" for no text.
inline std::string caseName(std::string_view text)
{
    if (text.empty())
        return "Empty";
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            name += c;
            continue;
        }
        switch (c) {
        case ' ':
            name += "Space";
            break;
        case '-':
            name += "Dash";
            break;
        case '+':
            name += "Plus";
            break;
        case '=':
            name += "Is";
            break;
        case ':':
            name += "Colon";
            break;
        case ',':
            name += "Comma";
            break;
        case '.':
            name += "Dot";
            break;
        case '/':
            name += "Slash";
            break;
        case '%':
            name += "Percent";
            break;
        case '?':
            name += "Query";
            break;
        default:
            name += "Char" + std::to_string(static_cast<unsigned char>(c));
            break;
        }
    }
    return name;
}

// "Local" and "Remote", for the suites that run once per kind of stick.
inline std::string stickKindName(const testing::TestParamInfo<bool>& info)
{
    return info.param ? "Remote" : "Local";
}

} // namespace ormid::test
