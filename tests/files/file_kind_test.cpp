#include "files/file_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace ormid {
namespace {

TEST(FileKind, ClassifiesByFirstLineThenByCurveRules)
{
    const struct {
        std::string bytes;
        std::string name;
        FileKind kind;
    } cases[] = {
        {"MMN1234info\r\n0C00\r\n", "a.kdc", FileKind::Configuration},
        {"MEM1234\r\n", "a.kdc", FileKind::OldConfiguration},
        {"FWX16484D1234\r\n", "fw.kdp", FileKind::FirmwareContainer},
        {"MMN1234\r\n", "named.dc", FileKind::Configuration}, // the content names its kind
        {"0\r\n1\r\n2\r\n", "curve.txt", FileKind::DimmingCurve},
        {"0\n-3\n200\n", "noext", FileKind::DimmingCurve}, // range is checked later, not here
        {"garbage", "curve.DC", FileKind::DimmingCurve},   // the extension offers it as a curve
        {"0\r\n1.5\r\n", "curve.txt", FileKind::Unknown},
        {"0\r\n\r\n1\r\n", "curve.txt", FileKind::Unknown},
        {"", "empty.kdc", FileKind::Unknown},
        {"XYZ\r\n", "a.kdc", FileKind::Unknown},
        {"mmn1234\r\n", "a.kdc", FileKind::Unknown},
        // An editor's UTF-8 byte-order mark before the first line changes nothing.
        {"\xEF\xBB\xBFMMN1234\r\n", "a.kdc", FileKind::Configuration},
        {"\xEF\xBB\xBF"
         "FWX16484D1234\r\n",
         "fw.kdp", FileKind::FirmwareContainer},
        {"\xEF\xBB\xBF"
         "0\r\n1\r\n",
         "curve.txt", FileKind::DimmingCurve},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyFile(c.bytes, c.name), c.kind) << c.bytes << " / " << c.name;
}

} // namespace
} // namespace ormid
