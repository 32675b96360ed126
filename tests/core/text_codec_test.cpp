#include "core/text_codec.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

// A stored name nobody touched must be written back byte for byte, the bytes the
// code page leaves undefined included.
TEST(TextCodec, RoundTripsEveryByte)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(TextCodec, ConvertsKnownCharacters)
{
    EXPECT_EQ(utf8ToCp1252("Straße"),
              "Stra\xDF"
              "e");
    EXPECT_EQ(utf8ToCp1252("€5"),
              "\x80"
              "5");
    EXPECT_EQ(cp1252ToUtf8("\xB0"
                           "C"),
              "°C");
    EXPECT_EQ(utf8ToCp1252("日本"), "??");                   // not in the code page
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");                  // truncated sequence
    EXPECT_EQ(cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D"); // undefined bytes: the controls of their number
}

} // namespace
} // namespace ormid
