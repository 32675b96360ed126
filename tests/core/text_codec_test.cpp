#include "core/text_codec.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

TEST(TextCodec, RoundTripsEveryCharacterOfTheCodePage)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            continue;
        all += static_cast<char>(b);
    }
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(TextCodec, ConvertsKnownCharacters)
{
    EXPECT_EQ(utf8ToCp1252("Straße"), "Stra\xDF" "e");
    EXPECT_EQ(utf8ToCp1252("€5"), "\x80" "5");
    EXPECT_EQ(cp1252ToUtf8("\xB0" "C"), "°C");
    EXPECT_EQ(utf8ToCp1252("日本"), "??");                // not in the code page
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");               // truncated sequence
    EXPECT_EQ(cp1252ToUtf8("\x81"), "\xEF\xBF\xBD");      // undefined byte
}

} // namespace
} // namespace ormid
