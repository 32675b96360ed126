#include "files/report_header.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "files/atomic_file.h"
#include "files/ini_file.h"
#include "temp_folder.h"

namespace ormid {
namespace {

TEST(IniFile, ReadsValuesAsSettingsFilesAreWritten)
{
    const struct {
        const char* name;
        std::string text;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    } cases[] = {
        {"plain", "[Header]\nLine1=Acme\n", "Header", "Line1", "Acme"},
        {"names in any case", "[HEADER]\nline1=Acme\n", "Header", "Line1", "Acme"},
        {"blanks around names and values", "  [ Header ]  \n\t Line1 \t=  Acme Ltd  \n", "Header", "Line1", "Acme Ltd"},
        {"Windows line ends and a byte-order mark", "\xEF\xBB\xBF[Header]\r\nLine1=Acme\r\nLine2=B\r\n", "Header",
         "Line2", "B"},
        {"old Mac line ends", "[Header]\rLine1=Acme\r", "Header", "Line1", "Acme"},
        {"the key in another section", "[Other]\nLine1=X\n[Header]\nLine2=Y\n", "Header", "Line1", std::nullopt},
        {"a key before any section", "Line1=X\n[Header]\n", "Header", "Line1", std::nullopt},
        {"the first of two equal keys", "[Header]\nLine1=first\nline1=second\n", "Header", "Line1", "first"},
        {"a section given twice", "[Header]\nLine1=A\n[Other]\nx=1\n[Header]\nLine2=B\n", "Header", "Line2", "B"},
        {"comment lines", "[Header]\n;Line1=no\n# Line1=no\nLine1=yes\n", "Header", "Line1", "yes"},
        {"a semicolon inside a value", "[Header]\nLine1=Tel. 1; Fax 2\n", "Header", "Line1", "Tel. 1; Fax 2"},
        {"quotes keep blanks", "[Header]\nLine1=\"  Acme  \"\n", "Header", "Line1", "  Acme  "},
        {"single quotes", "[Header]\nLine1='Acme'\n", "Header", "Line1", "Acme"},
        {"an unmatched quote stays", "[Header]\nLine1=\"Acme\n", "Header", "Line1", "\"Acme"},
        {"an empty value is a value", "[Header]\nLine1=\n", "Header", "Line1", ""},
        {"'=' inside the value", "[Header]\nLine1=a=b\n", "Header", "Line1", "a=b"},
        {"lines without '=' are skipped", "[Header]\nnonsense\nLine1=ok\n", "Header", "Line1", "ok"},
        {"a broken section line keeps the section", "[Header]\n[Other\nLine1=ok\n", "Header", "Line1", "ok"},
        {"no last line end", "[Header]\nLine1=Acme", "Header", "Line1", "Acme"},
        {"empty text", "", "Header", "Line1", std::nullopt},
        {"bytes kept as they are",
         "[Header]\nLine1=Stra\xDF"
         "e\n",
         "Header", "Line1",
         "Stra\xDF"
         "e"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IniFile::parse(c.text).value(c.section, c.key), c.value);
    }
}

TEST(ReportHeader, MissingKeysGiveTheDefaultLines)
{
    const struct {
        const char* name;
        const char* ini;
        std::string line1;
        std::string line2;
    } cases[] = {
        {"both keys", "[Header]\nLine1=Acme\nLine2=Main St 1\n", "Acme", "Main St 1"},
        {"only Line2", "[Header]\nLine2=Main St 1\n", std::string(kDefaultLine1), "Main St 1"},
        {"keys in another section", "[Footer]\nLine1=Acme\n", std::string(kDefaultLine1), std::string(kDefaultLine2)},
        {"an empty Line2 leaves the line empty", "[Header]\nLine2=\n", std::string(kDefaultLine1), ""},
        {"not a settings file", "\x01\x02\x03", std::string(kDefaultLine1), std::string(kDefaultLine2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReportHeader header = reportHeaderFromIni(c.ini);
        EXPECT_EQ(header.line1, c.line1);
        EXPECT_EQ(header.line2, c.line2);
    }
}

TEST(ReportHeader, ReadsTheFileAndFallsBackWhenThereIsNone)
{
    namespace fs = std::filesystem;
    const test::TempFolder temp("ormid_header");
    const fs::path& folder = temp.path();
    const fs::path ini = folder / "pdf.ini";
    ASSERT_TRUE(writeFileAtomically(ini, "[Header]\nLine1=Acme\n").ok());

    EXPECT_EQ(readReportHeader(ini).line1, "Acme");
    EXPECT_EQ(readReportHeader(ini).line2, kDefaultLine2);
    EXPECT_EQ(readReportHeader(folder / "missing.ini").line1, kDefaultLine1);
    EXPECT_EQ(readReportHeader(folder).line1, kDefaultLine1) << "a folder is no file";
    EXPECT_EQ(readReportHeader(std::nullopt).line1, kDefaultLine1);
}

} // namespace
} // namespace ormid
