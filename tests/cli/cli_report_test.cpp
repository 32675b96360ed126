// `ormid-cli report`: the configuration's report as a PDF document and PNG pages,
// run in process; the PDF is read back with poppler.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "files/config_file.h"
#include "files/pdf_text.h"
#include "files/report_header.h"
#include "files/report_images.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class CliReport : public test::TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        full_ = put("full.kdc", saveConfiguration(test::fullReportImage(), "Full"));
        out_ = (folder_ / "out.pdf").string();
    }

    // `ormid-cli report ARGS`: its exit code; what it printed in printed_ and complaints_.
    int report(std::vector<std::string> args)
    {
        args.insert(args.begin(), "report");
        test::CliRun run = test::cli(std::move(args));
        printed_ = std::move(run.out);
        complaints_ = std::move(run.err);
        return run.code;
    }
    std::optional<test::PdfReadBack> written() const
    {
        const FileReadResult file = readWholeFile(out_);
        if (!file.ok())
            return std::nullopt;
        return test::readPdf(file.bytes);
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string full_;
    std::string out_;
    std::string printed_;
    std::string complaints_;
};

// Width and height from a PNG's header; {0, 0} when it is no PNG.
std::pair<int, int> pngSize(const std::string& bytes)
{
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0)
        return {0, 0};
    const auto bigEndian = [&](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {bigEndian(16), bigEndian(20)};
}

TEST_F(CliReport, PrintsTheFullImageOnTwoPagesWithTheProjectAndItsPngPages)
{
    ASSERT_EQ(report({full_, "-o", out_, "--project", "Park", "--luminaire", "LED 40W", "--driver", "D-1", "--png",
                      (folder_ / "page").string()}),
              cliExit::success)
        << complaints_;
    EXPECT_EQ(printed_,
              "Wrote " + out_ + "\nWrote " + (folder_ / "page-1.png").string() + "\nWrote "
                  + (folder_ / "page-2.png").string() + "\n");
    EXPECT_EQ(complaints_, "");
    const auto pdf = written();
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdf->pages.size(), 2u);
    const Lines line0 = test::reportLine(pdf->pages[0], 0);
    ASSERT_EQ(line0.size(), 4u);
    EXPECT_EQ(Lines(line0.begin(), line0.begin() + 3), (Lines{"50:Project Name:", "160:Park", "450:Date:"}));
    EXPECT_EQ(test::reportLine(pdf->pages[0], 1), (Lines{"50:Luminaire :", "160:LED 40W", "300:Driver :", "350:D-1"}));
    EXPECT_EQ(test::reportLine(pdf->pages[1], 1), (Lines{"170:Delay", "290:Fade", "410:Level", "480:Relay"}));
    for (const char* page : {"page-1.png", "page-2.png"}) {
        const FileReadResult png = readWholeFile(folder_ / page);
        ASSERT_TRUE(png.ok()) << page;
        EXPECT_EQ(pngSize(png.bytes), std::make_pair(1191, 1684)) << page;
    }
}

TEST_F(CliReport, WithoutAProjectNameTheReportStartsWithTheOutput)
{
    ASSERT_EQ(report({put("default.kdc", saveConfiguration(makeDefaultImage(), "")), "-o", out_, "--luminaire",
                      "LED 40W", "--driver", "D-1"}),
              cliExit::success);
    EXPECT_EQ(complaints_, "Note: luminaire and driver are printed only with a project name (--project).\n");
    const auto pdf = written();
    ASSERT_TRUE(pdf);
    ASSERT_EQ(pdf->pages.size(), 1u);
    EXPECT_EQ(test::reportLine(pdf->pages[0], 0),
              (Lines{"50:Output:", "160:Analog 1-10V", "300:Relay zero-cross switching: ON"}));
    EXPECT_EQ(files(), (std::vector<std::string>{"default.kdc", "full.kdc", "out.pdf"})) << "no PNG without --png";
}

TEST_F(CliReport, FieldsLongerThanTheWindowTakesAreCut)
{
    ASSERT_EQ(report({full_, "-o", out_, "--project", std::string(60, 'i'), "--driver", "Ä" + std::string(30, 'i')}),
              cliExit::success);
    EXPECT_EQ(complaints_, "Note: --project is cut to 50 characters.\nNote: --driver is cut to 25 characters.\n");
    const auto pdf = written();
    ASSERT_TRUE(pdf);
    EXPECT_EQ(test::phraseAt(pdf->pages[0], 160, 750).value_or(test::PdfPhrase{}).text, std::string(50, 'i'));
    EXPECT_EQ(test::phraseAt(pdf->pages[0], 350, 725).value_or(test::PdfPhrase{}).text, "Ä" + std::string(24, 'i'));
}

TEST_F(CliReport, FailuresWriteNoReport)
{
    const std::string firmware = put("fw.kdp", "FWX0010\r\n");
    const struct {
        const char* name;
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {"no -o", {full_}, cliExit::usage},
        {"no file", {"-o", out_}, cliExit::usage},
        {"an unknown option", {full_, "-o", out_, "--title", "x"}, cliExit::usage},
        {"a file that is not there", {(folder_ / "missing.kdc").string(), "-o", out_}, cliExit::invalidInput},
        {"not a configuration", {firmware, "-o", out_}, cliExit::invalidInput},
        {"a folder that is not there", {full_, "-o", (folder_ / "no" / "out.pdf").string()}, cliExit::invalidInput},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(report(c.args), c.code);
        EXPECT_NE(complaints_, "");
        EXPECT_EQ(files(), (std::vector<std::string>{"full.kdc", "fw.kdp"}));
    }
}

TEST_F(CliReport, APngPageThatCannotBeWrittenFailsAfterThePdf)
{
    EXPECT_EQ(report({full_, "-o", out_, "--png", (folder_ / "no" / "page").string()}), cliExit::invalidInput);
    EXPECT_NE(complaints_, "");
    EXPECT_TRUE(written()) << "the PDF itself was written";
}

// pdf.ini in the user's data folder gives the address lines (resource_locator.h).
TEST_F(CliReport, TheAddressLinesComeFromPdfIni)
{
    fs::create_directories(folder_ / "data" / "ormid");
    put("data/ormid/pdf.ini", "[Header]\r\nLine2=Main Street 1\r\n");
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    const int code = report({full_, "-o", out_});
    if (previous)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");

    ASSERT_EQ(code, cliExit::success);
    const auto pdf = written();
    ASSERT_TRUE(pdf);
    EXPECT_EQ(test::phraseAt(pdf->pages[0], 200, 795).value_or(test::PdfPhrase{}).text, kDefaultLine1);
    EXPECT_EQ(test::phraseAt(pdf->pages[0], 200, 780).value_or(test::PdfPhrase{}).text, "Main Street 1");
}

// The profile page comes only with --profile, after the configuration's pages, with
// the year's saving and the chart's estimate caption.
TEST_F(CliReport, TheProfilePageComesOnlyOnRequest)
{
    const std::string file = put("default.kdc", saveConfiguration(makeDefaultImage(), ""));
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::size_t pages;
    } cases[] = {
        {"without", {}, 1},
        {"with", {"--profile", "--lat", "50", "--date", "2017-12-21", "--twilight", "-6"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {file, "-o", out_};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(report(args), cliExit::success) << complaints_;
        const auto pdf = written();
        ASSERT_TRUE(pdf);
        ASSERT_EQ(pdf->pages.size(), c.pages);
        bool headed = false;
        for (const auto& page : pdf->pages)
            for (const test::PdfPhrase& phrase : page)
                headed = headed || phrase.text == "Tonight's light (an estimate)";
        EXPECT_EQ(headed, c.pages == 2);
    }
    const auto pdf = written();
    ASSERT_TRUE(pdf);
    const auto& profilePage = pdf->pages.back();
    EXPECT_EQ(test::reportLine(profilePage, 0), (Lines{"50:Tonight's light (an estimate)"}));
    ASSERT_EQ(test::reportLine(profilePage, 1).size(), 1u);
    EXPECT_TRUE(test::reportLine(profilePage, 1).front().starts_with("50:Yearly saving: "));
    // The chart's small caption reads back word by word.
    std::string words;
    for (const test::PdfPhrase& phrase : profilePage)
        words += phrase.text + " ";
    EXPECT_NE(words.find("Estimate: 23.9 % saved tonight"), std::string::npos)
        << "the winter night at N 50, -6°: 1 - 210 / 879 used; " << words.substr(0, 300);
}

TEST_F(CliReport, ProfileOptionsGoWithProfile)
{
    const struct {
        std::vector<std::string> options;
        const char* problem;
    } cases[] = {
        {{"--lat", "50"}, "--lat goes with --profile"},
        {{"--profile", "--lat", "50"}, "report --profile needs --lat and --date"},
        {{"--profile", "--date", "2026-12-21"}, "report --profile needs --lat and --date"},
        {{"--profile", "--lat", "50", "--date", "2026-12-21", "--lst", "25:00"}, "--lst takes"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {full_, "-o", out_};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(report(args), cliExit::usage) << c.problem;
        EXPECT_TRUE(complaints_.starts_with(std::string("ormid-cli: ") + c.problem)) << complaints_.substr(0, 200);
        EXPECT_FALSE(fs::exists(out_));
    }
}

TEST_F(CliReport, HelpNamesTheCommand)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runCli({"--help"}, out, err), cliExit::success);
    EXPECT_NE(out.str().find("report FILE -o OUT.pdf [--project NAME] [--luminaire L] [--driver D] [--png PREFIX]"),
              std::string::npos);
}

} // namespace
} // namespace ormid
