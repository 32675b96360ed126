#include "cli/cli.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include "core/image.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/report_model.h"
#include "link/crc16.h"
#include "link/firmware_container.h"
#include "link/stick_frames.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun cli(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = runCli(std::move(args), out, err);
    return {code, out.str(), err.str()};
}

bool contains(const std::string& text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

// A configuration unlike the default one, so that a report of it tells the two apart.
EeBlock customImage()
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = 0x0D;  // DALI logarithmic
    image[field::minLevel] = 20;
    image[field::blockTime] = 12;
    return image;
}

std::string firmwareText(std::uint16_t size, Byte version, bool goodCrc)
{
    const std::size_t lines = (size + kFirmwareLineBytes - 1) / kFirmwareLineBytes;
    std::vector<Byte> bytes(lines * kFirmwareLineBytes, 0xFF);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<Byte>(i);
    const std::uint16_t crc = static_cast<std::uint16_t>(crc16(bytes) ^ (goodCrc ? 0 : 1));
    std::string text = "FWX" + hexNumber(size, 4) + hexNumber(version, 2) + hexNumber(crc, 4) + "\r\n";
    for (std::size_t i = 0; i < bytes.size(); i += kFirmwareLineBytes)
        text += hexBytes(ByteSpan(bytes).subspan(i, kFirmwareLineBytes)) + "\r\n";
    return text;
}

std::string curveText(std::string_view line50, std::string_view tail)
{
    std::string text;
    for (int i = 0; i <= 100; ++i)
        text += (i == 50 ? std::string(line50) : std::to_string(i)) + "\n";
    return text + std::string(tail);
}

class Cli : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("ormid_cli_" + std::to_string(::getpid()) + "_"
                                               + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string put(const std::string& name, std::string_view bytes)
    {
        const fs::path path = folder_ / name;
        EXPECT_TRUE(writeFileAtomically(path, bytes).ok());
        return path.string();
    }

    fs::path folder_;
};

TEST_F(Cli, HelpListsEveryCommand)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"help"}, {"show", "-h"}}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.code, 0);
        EXPECT_TRUE(run.err.empty());
        for (const char* synopsis : {"new -o FILE [--info TEXT]", "check FILE", "show [FILE] [--no-load-check] [--copy-astro]"})
            EXPECT_TRUE(contains(run.out, synopsis)) << synopsis;
    }
}

TEST_F(Cli, UsageErrorsExitWith2AndPrintUsageOnStandardError)
{
    const std::vector<std::string> cases[] = {
        {},
        {"bogus"},
        {"new"},
        {"new", "-o"},
        {"new", "-o", "a.kdc", "extra"},
        {"check"},
        {"check", "a.kdc", "b.kdc"},
        {"check", "--info", "x", "a.kdc"},
        {"show", "--frobnicate"},
        {"show", "--copy-astro=1"},
    };
    for (const auto& args : cases) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.code, 2) << testing::PrintToString(args);
        EXPECT_TRUE(run.out.empty());
        EXPECT_TRUE(contains(run.err, "Usage: ormid-cli")) << testing::PrintToString(args);
    }
}

TEST_F(Cli, NewWritesTheDefaultConfiguration)
{
    const std::string path = (folder_ / "plain").string();
    const CliRun run = cli({"new", "-o", path, "--info", "Lamp"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(readWholeFile(path).bytes, saveConfiguration(makeDefaultImage(), "Lamp"));  // no extension added

    const CliRun longInfo = cli({"new", "--info=Street 12 North", "-o", path});
    EXPECT_EQ(longInfo.code, 0);
    EXPECT_TRUE(contains(longInfo.err, "cut to 8 characters"));
    EXPECT_EQ(readWholeFile(path).bytes, saveConfiguration(makeDefaultImage(), "Street 1"));
}

TEST_F(Cli, NewReportsAFailedWrite)
{
    const std::string path = (folder_ / "missing" / "a.kdc").string();
    const CliRun run = cli({"new", "-o", path});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(contains(run.err, path)) << run.err;
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(Cli, CheckTellsKindValidityAndTheProgramsMessage)
{
    const std::string saved = saveConfiguration(customImage(), "Lamp 7");
    const struct {
        std::string name;
        std::string bytes;
        int code;
        std::vector<std::string> outLines;
        std::string err;
    } cases[] = {
        {"a.kdc", saved, 0, {"kind: configuration", "valid: yes", "info: Lamp 7"}, ""},
        {"old.kdc", "MEM" + saved.substr(3), 0, {"kind: old-form configuration", "valid: yes"},
         "Old Format: Please check Parameter!"},
        {"bad.kdc", "MMN0000" + saved.substr(13), 1, {"kind: configuration", "valid: no"}, "File is corrupted!"},
        {"one.kdc", "MMN1234\r\n", 1, {"valid: no"}, "no data lines"},
        {"text.kdc", "hello\r\nworld\r\n", 1, {"kind: unknown", "valid: no"}, "Not a configuration or firmware file!"},
        {"fw.kdp", firmwareText(5704, 77, true), 0,
         {"kind: firmware container", "valid: yes", "size: 5704 bytes", "version: 1.77", "data lines: 45"}, ""},
        {"badfw.kdp", firmwareText(300, 3, false), 1, {"kind: firmware container", "valid: no"}, "File is corrupted!"},
        {"big.kdp", firmwareText(0x3000, 66, true), 1, {"valid: no", "size: 12288 bytes", "version: 1.66"},
         "does not fit"},
        {"lin.dc", curveText("50", ""), 0, {"kind: dimming curve", "valid: yes"}, ""},
        {"long.dc", curveText("50", "\n"), 1, {"kind: dimming curve", "valid: no"}, "Error: Nr. of points is not 101!"},
        {"range.dc", curveText("101", ""), 1, {"valid: no"}, "Error: Wrong Data!"},
        {"word.txt", curveText("x", ""), 1, {"kind: unknown"}, "Not a configuration or firmware file!"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli({"check", put(c.name, c.bytes)});
        EXPECT_EQ(run.code, c.code) << c.name << '\n' << run.out << run.err;
        for (const auto& line : c.outLines)
            EXPECT_TRUE(contains(run.out, line + "\n")) << c.name << " lacks " << line << '\n' << run.out;
        if (c.err.empty())
            EXPECT_TRUE(run.err.empty()) << c.name << ": " << run.err;
        else
            EXPECT_TRUE(contains(run.err, c.err)) << c.name << ": " << run.err;
    }
}

TEST_F(Cli, CheckOfAnUnreadableFileNamesIt)
{
    const std::string path = (folder_ / "absent.kdc").string();
    const CliRun run = cli({"check", path});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(contains(run.err, path));
    EXPECT_TRUE(contains(run.err, "No such file"));
}

TEST_F(Cli, ShowPrintsTheDefaultImageWithoutAFile)
{
    const CliRun run = cli({"show"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, formatReportText(buildReportModel(makeDefaultImage(), nullptr)));
}

TEST_F(Cli, ShowPrintsTheLoadedConfiguration)
{
    const std::string defaultReport = formatReportText(buildReportModel(makeDefaultImage(), nullptr));
    const std::string customReport = formatReportText(buildReportModel(customImage(), nullptr));
    ASSERT_NE(defaultReport, customReport);
    const std::string saved = saveConfiguration(customImage(), "Lamp 7");

    const CliRun run = cli({"show", put("a.kdc", saved)});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "Info: Lamp 7\n\n" + customReport);

    const CliRun old = cli({"show", put("old.kdc", "MEM" + saved.substr(3))});
    EXPECT_EQ(old.code, 0);
    EXPECT_EQ(old.err, "Old Format: Please check Parameter!\n");
    EXPECT_EQ(old.out, run.out);
}

TEST_F(Cli, ShowRefusesWhatLoadDoesNotTake)
{
    const std::string saved = saveConfiguration(customImage(), "");
    const std::string badCrc = put("bad.kdc", "MMN0000" + saved.substr(7));

    const struct {
        std::string path;
        std::string err;
    } cases[] = {
        {badCrc, "File is corrupted!"},
        {put("fw.kdp", firmwareText(128, 1, true)), "firmware container"},
        {put("x.kdc", "hello\r\nworld\r\n"), "Not a configuration or firmware file!"},
        {put("one.kdc", "MMN1234\r\n"), "no data lines"},
        {(folder_ / "absent.kdc").string(), "No such file"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli({"show", c.path});
        EXPECT_EQ(run.code, 1) << c.path;
        EXPECT_TRUE(run.out.empty()) << c.path;
        EXPECT_TRUE(contains(run.err, c.err)) << c.path << ": " << run.err;
    }

    const CliRun forced = cli({"show", "--no-load-check", badCrc});
    EXPECT_EQ(forced.code, 0);
    EXPECT_TRUE(forced.err.empty());
    EXPECT_EQ(forced.out, formatReportText(buildReportModel(customImage(), nullptr)));
}

int runBinary(const std::string& arguments)
{
    const std::string command = std::string(ORMID_BIN_DIR) + "/ormid-cli " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Cli, ExecutableReturnsTheExitCodes)
{
    const std::string good = put("a.kdc", saveConfiguration(makeDefaultImage(), ""));
    EXPECT_EQ(runBinary("--help"), 0);
    EXPECT_EQ(runBinary("check '" + good + "'"), 0);
    EXPECT_EQ(runBinary("check '" + (folder_ / "absent.kdc").string() + "'"), 1);
    EXPECT_EQ(runBinary("frobnicate"), 2);
}

} // namespace
} // namespace ormid
