#include "core/file_signatures.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace ormid {
namespace {

TEST(FileSignatures, OneSignaturePerKind)
{
    const struct {
        SignedFileKind kind;
        std::string_view text;
    } cases[] = {
        {SignedFileKind::configuration, "MMN"},
        {SignedFileKind::oldConfiguration, "MEM"},
        {SignedFileKind::firmwareContainer, "FWX"},
    };
    std::set<std::string_view> seen;
    for (const auto& c : cases) {
        EXPECT_EQ(fileSignature(c.kind), c.text) << c.text;
        EXPECT_EQ(fileSignature(c.kind).size(), kFileSignatureLength) << c.text;
        EXPECT_TRUE(seen.insert(fileSignature(c.kind)).second) << c.text;
    }
    EXPECT_EQ(seen.size(), kFileSignatures.size());
}

TEST(FileSignatures, TheStartOfAFileNamesItsKind)
{
    const struct {
        std::string bytes;
        std::optional<SignedFileKind> kind;
    } cases[] = {
        {"MMN1234Street\r\n", SignedFileKind::configuration},
        {"MMN", SignedFileKind::configuration},
        {"MEM1234\r\n", SignedFileKind::oldConfiguration},
        {"FWX16484D1234\r\n", SignedFileKind::firmwareContainer},
        {"FWX", SignedFileKind::firmwareContainer},
        {"mmn1234\r\n", std::nullopt}, // case matters
        {"MM", std::nullopt},          // too short to hold a signature
        {"", std::nullopt},
        {" MMN", std::nullopt}, // only at the very start
        {"XYZ\r\n", std::nullopt},
        {std::string("MM\0N", 4), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(signedFileKind(c.bytes), c.kind) << c.bytes;
}

} // namespace
} // namespace ormid
