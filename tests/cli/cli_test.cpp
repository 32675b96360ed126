#include "cli/cli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cli_run.h"
#include "core/crc16.h"
#include "core/display_rules.h"
#include "core/encodings.h"
#include "core/image.h"
#include "core/night_length.h"
#include "core/remote_frames.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/report_model.h"
#include "link/control_block.h"
#include "link/embedded_firmware.h"
#include "link/fake_transport.h"
#include "link/firmware_container.h"
#include "link/firmware_image.h"
#include "link/memory_transfer.h"
#include "link/stick_frames.h"
#include "link/waiter.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h"
#include "temp_folder.h"
#include "waiter_double.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<Byte>;

using test::cli;
using test::CliRun;

bool contains(const std::string& text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

// A configuration unlike the default one, so that a report of it tells the two apart.
EeBlock customImage()
{
    EeBlock image = makeDefaultImage();
    image[field::outputByte] = 0x0D; // DALI logarithmic
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

class Cli : public test::TempFolderTest {};

TEST_F(Cli, HelpListsEveryCommand)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"help"}, {"show", "-h"}}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.code, 0);
        EXPECT_TRUE(run.err.empty());
        for (const char* synopsis :
             {"new -o FILE [--info TEXT]", "check FILE", "show [FILE] [--no-load-check] [--copy-astro]", "stick status",
              "stick read M1..M4 -o FILE", "stick write M1..M4 FILE [--name TEXT]", "stick erase [--remote]",
              "device update-fw [FILE.kdp]"})
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
        {"stick"},
        {"status"},
        {"stick", "read", "M1"},
        {"stick", "read", "-o", "a.kdc"},
        {"stick", "read", "M5", "-o", "a.kdc"},
        {"stick", "read", "1", "-o", "a.kdc"},
        {"stick", "write", "M1"},
        {"stick", "write", "M0", "a.kdc"},
        {"stick", "write", "M1", "a.kdc", "--name"},
        {"stick", "erase", "M1"},
        {"stick", "erase", "--remote=yes"},
        {"stick", "status", "extra"},
        {"stick", "status", "--info", "x"},
        {"device", "write", "a.kdc", "--log", "line.csv"},
        {"device", "write", "a.kdc", "--update-fw"},
        {"device", "write", "a.kdc", "--batch", "--no-verify"},
        {"device", "write", "a.kdc", "--batch", "--count", "0"},
        {"device", "write", "a.kdc", "--batch", "--count", "3x"},
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
    EXPECT_EQ(readWholeFile(path).bytes, saveConfiguration(makeDefaultImage(), "Lamp")); // no extension added

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
        {"old.kdc",
         "MEM" + saved.substr(3),
         0,
         {"kind: old-form configuration", "valid: yes"},
         "Old Format: Please check Parameter!"},
        {"bad.kdc", "MMN0000" + saved.substr(13), 1, {"kind: configuration", "valid: no"}, "File is corrupted!"},
        {"one.kdc", "MMN1234\r\n", 1, {"valid: no"}, "no data lines"},
        {"text.kdc", "hello\r\nworld\r\n", 1, {"kind: unknown", "valid: no"}, "Not a configuration or firmware file!"},
        {"fw.kdp",
         firmwareText(5704, 77, true),
         0,
         {"kind: firmware container", "valid: yes", "size: 5704 bytes", "version: 1.77", "data lines: 45"},
         ""},
        {"badfw.kdp", firmwareText(300, 3, false), 1, {"kind: firmware container", "valid: no"}, "File is corrupted!"},
        {"big.kdp",
         firmwareText(0x3000, 66, true),
         1,
         {"valid: no", "size: 12288 bytes", "version: 1.66"},
         "does not fit"},
        {"short.kdp",
         "FWX2000" + firmwareText(5704, 77, true).substr(7),
         1,
         {"valid: no", "size: 8192 bytes", "data lines: 45"},
         "The firmware file announces 8192 bytes, but its lines hold 5760."},
        {"lin.dc", curveText("50", ""), 0, {"kind: dimming curve", "valid: yes"}, ""},
        {"long.dc", curveText("50", "\n"), 1, {"kind: dimming curve", "valid: no"}, "Error: Nr. of points is not 101!"},
        {"range.dc", curveText("101", ""), 1, {"valid: no"}, "Error: Wrong Data!"},
        {"word.txt", curveText("x", ""), 1, {"kind: unknown"}, "Not a configuration or firmware file!"},
        {"bom.kdc", "\xEF\xBB\xBF" + saved, 0, {"kind: configuration", "valid: yes", "info: Lamp 7"}, ""},
        {"bom.dc", "\xEF\xBB\xBF" + curveText("50", ""), 0, {"kind: dimming curve", "valid: yes"}, ""},
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

// A FIFO is refused at once rather than waited on; a file far larger than any the
// program reads is refused before it is read.
TEST_F(Cli, CheckOfAnUnreadableFileNamesIt)
{
    ASSERT_EQ(::mkfifo((folder_ / "fifo.dc").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string err;
    } cases[] = {
        {(folder_ / "absent.kdc").string(), "No such file"},
        {(folder_ / "fifo.dc").string(), "not a regular file"},
        {put("huge.dc", std::string(kMaxFirmwareFileSize + 1, '\n')), "file too large"},
    };
    for (const auto& c : cases) {
        const CliRun run = cli({"check", c.path});
        EXPECT_EQ(run.code, 1) << c.path;
        EXPECT_TRUE(run.out.empty()) << c.path;
        EXPECT_TRUE(contains(run.err, c.path)) << run.err;
        EXPECT_TRUE(contains(run.err, c.err)) << run.err;
    }
}

TEST_F(Cli, ShowPrintsTheDefaultImageWithoutAFile)
{
    const CliRun run = cli({"show"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, formatReportText(buildReportModel(makeDefaultImage(), nullptr)));
}

// A function whose engine has no first step is off in the window after Load; the
// commands that read a file "as Load does" say so too.
TEST_F(Cli, ShowSaysWhatTheWindowShowsAfterLoad)
{
    EeBlock saved = makeDefaultImage();
    saved[field::outputByte] = SetBit(saved[field::outputByte], bit::isdEnable);
    saved[engine1Step(1) + 2] = kFreeLevel;
    const CliRun run = cli({"show", put("isd.kdc", saveConfiguration(saved, "Isd"))});
    EXPECT_EQ(run.code, 0) << run.err;
    EeBlock shown = saved;
    applyDisplayRules(shown, false);
    EXPECT_EQ(run.out, "Info: Isd\n\n" + formatReportText(buildReportModel(shown, nullptr)));
    EXPECT_NE(run.out, "Info: Isd\n\n" + formatReportText(buildReportModel(saved, nullptr)))
        << "the file as saved reports ISD on";
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

TEST_F(Cli, DiffSaysWhatDiffersInTheReportsWords)
{
    EeBlock changed = makeDefaultImage();
    changed[field::powerOnDelay] = static_cast<Byte>(encodeTimeCode(90));
    const std::string a = put("a.kdc", saveConfiguration(makeDefaultImage(), "Street"));
    const std::string b = put("b.kdc", saveConfiguration(changed, "Street"));

    const CliRun same = cli({"diff", a, a});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_EQ(same.out, "");
    const CliRun different = cli({"diff", a, b});
    EXPECT_EQ(different.code, 1) << different.err;
    EXPECT_EQ(different.out, "Power On: Delay= Random \u2192 Delay= 00:01:30\n");

    const struct {
        std::vector<std::string> args;
        std::string err;
    } trouble[] = {
        {{"diff", a, put("c.txt", "no configuration")}, "The file holds no data lines."},
        {{"diff", a, (folder_ / "absent.kdc").string()}, "absent.kdc"},
        {{"diff", "stick:M5", a}, "a stick memory is stick:M1 to stick:M4, not stick:M5"},
    };
    for (const auto& c : trouble) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.code, 2) << c.err;
        EXPECT_TRUE(contains(run.err, c.err)) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(Cli, VersionIsTheProjectsWhereverItIsAsked)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--version"}, {"night", "--version"}}) {
        const CliRun run = cli(args);
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.starts_with("ormid-cli " ORMID_PROJECT_VERSION "\n")) << run.out;
        EXPECT_TRUE(contains(run.out, "MIT License")) << run.out;
    }
    EXPECT_TRUE(contains(cli({"--help"}).out, "  --version\n"));
}

// `ormid-cli night` with `args`.
CliRun night(const std::vector<std::string>& args)
{
    std::vector<std::string> command = {"night"};
    command.insert(command.end(), args.begin(), args.end());
    return cli(command);
}

// The night as the window's calculator computes it: its known dates with the calculator's
// start values (N 50, twilight -3) where an option is left out.
TEST(CliNight, PrintsTheLengthOfTheNightOrThatThereIsNone)
{
    const struct {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"--lat", "50", "--date", "2014-03-30", "--twilight", "-3"}, "10:46\n"},
        {{"--date", "2014-03-30"}, "10:46\n"},
        {{"--date=2014-10-26", "--lat=50"}, "13:23\n"},
        {{"--date", "2014-03-10", "--twilight", "-3.0"}, "12:01\n"},
        {{"--date", "2017-06-21", "--twilight", "0"}, "07:51\n"},
        {{"--date", "2017-12-21", "--twilight", "-6"}, "14:39\n"},
        {{"--lat", "0", "--date", "2000-01-01", "--twilight", "0"}, "12:00\n"},
        {{"--lat", "60", "--date", "2017-06-21", "--twilight", "-6"}, "01:35\n"},
        {{"--lat", "62", "--date", "2017-06-21", "--twilight", "-6"}, "no night\n"},
        {{"--lat", "75", "--date", "2017-06-21"}, "no night\n"},
        {{"--lat", "75", "--date", "2017-12-21"}, "no day\n"},
        {{"--lat", "-75", "--date", "2017-12-21"}, "no night\n"},
        {{"--lat", "-75", "--date", "2017-06-21"}, "no day\n"},
        {{"--lat", "89.5", "--date", "2017-12-21", "--twilight", "-18"}, "no day\n"},
    };
    for (const auto& c : cases) {
        const CliRun run = night(c.args);
        EXPECT_EQ(run.code, 0) << testing::PrintToString(c.args) << run.err;
        EXPECT_EQ(run.out, c.out) << testing::PrintToString(c.args);
        EXPECT_EQ(run.err, "");
    }
}

TEST(CliNight, TakesDecimalDegreesAndTheSignOfTheLatitude)
{
    // Half degrees are the calculator's slider steps: N 47.5 is its position 95.
    const auto slider = lengthOfNight(30, 3, 2014, 95, -6);
    ASSERT_TRUE(slider.has_value());
    EXPECT_EQ(cli({"night", "--lat", "47.5", "--date", "2014-03-30"}).out, hoursToHM(*slider) + "\n");
    // With the horizon as twilight, the nights at N and S of one latitude make a day.
    const auto minutes
        = [](const std::string& line) { return std::stoi(line.substr(0, 2)) * 60 + std::stoi(line.substr(3, 2)); };
    const int north = minutes(cli({"night", "--lat", "48.2", "--date", "2014-05-01", "--twilight", "0"}).out);
    const int south = minutes(cli({"night", "--lat", "-48.2", "--date", "2014-05-01", "--twilight", "0"}).out);
    EXPECT_NE(north, south);
    EXPECT_NEAR(north + south, 24 * 60, 1);
}

TEST(CliNight, WithoutADateItIsTonight)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const auto night = nightAt(local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, 50, -3);
    ASSERT_TRUE(night.has_value());
    ASSERT_EQ(night->twilight, Twilight::crossed) << "N 50 has a night with twilight at -3 every day";
    const CliRun run = cli({"night"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, hoursToHM(night->hours) + "\n");
}

TEST(CliNight, BadValuesAreUsageErrorsThatNameTheOption)
{
    const struct {
        std::vector<std::string> args;
        const char* problem;
    } cases[] = {
        {{"--lat", "90"}, "--lat takes degrees north"},
        {{"--lat", "-90"}, "--lat takes"},
        {{"--lat", "95.5"}, "--lat takes"},
        {{"--lat", "N50"}, "--lat takes"},
        {{"--lat", "50x"}, "--lat takes"},
        {{"--lat", "50,5"}, "--lat takes"},
        {{"--lat", ""}, "--lat takes"},
        {{"--lat", "nan"}, "--lat takes"},
        {{"--lat", "inf"}, "--lat takes"},
        {{"--lat"}, "--lat needs a value"},
        {{"--date", "2014-02-29"}, "--date takes a day from 2000 on as YYYY-MM-DD, not 2014-02-29"},
        {{"--date", "2013-13-01"}, "--date takes"},
        {{"--date", "2013-00-10"}, "--date takes"},
        {{"--date", "2013-04-31"}, "--date takes"},
        {{"--date", "2014-3-30"}, "--date takes"},
        {{"--date", "30.03.2014"}, "--date takes"},
        {{"--date", "1999-12-31"}, "--date takes"},
        {{"--date", "2014-03-30x"}, "--date takes"},
        {{"--date", "+014-03-30"}, "--date takes"},
        {{"--twilight", "3"}, "--twilight takes the sun's elevation in degrees, from -18 to 0, not 3"},
        {{"--twilight", "-18.5"}, "--twilight takes"},
        {{"--twilight", "dusk"}, "--twilight takes"},
        {{"--latitude", "50"}, "unknown option --latitude for night"},
        {{"50"}, "night: unexpected argument 50"},
    };
    for (const auto& c : cases) {
        const CliRun run = night(c.args);
        EXPECT_EQ(run.code, cliExit::usage) << testing::PrintToString(c.args);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with(std::string("ormid-cli: ") + c.problem)) << run.err.substr(0, 200);
        EXPECT_TRUE(contains(run.err, "Usage: ormid-cli")) << testing::PrintToString(c.args);
    }
}

TEST(CliNight, AHugeValueIsNotPrintedBackWhole)
{
    const std::string huge(100 * 1024, '9');
    const CliRun run = cli({"night", "--lat", huge});
    EXPECT_EQ(run.code, cliExit::usage);
    EXPECT_TRUE(contains(run.err, "(102400 bytes)")) << run.err.substr(0, 300);
    EXPECT_FALSE(contains(run.err, std::string(200, '9')));
}

TEST(CliNight, LeapDaysCount)
{
    EXPECT_EQ(cli({"night", "--date", "2016-02-29"}).code, 0);
    EXPECT_EQ(cli({"night", "--date", "2000-02-29"}).code, 0);
    EXPECT_EQ(cli({"night", "--date", "2100-02-29"}).code, cliExit::usage);
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

// The executable's exit codes: cli_e2e_test.cpp.

// A stick that answers what it is asked: the mode query (when it knows it), the
// control-block request (with the block or with a link reply in USB Stick mode) and
// the data-block requests (with `dataBlock` for every memory).
struct ScriptedStick : test::FakeTransport {
    std::optional<Bytes> modeAnswer;
    Bytes controlBlockReply; // a link reply; empty: the block below
    ControlBlock block{};
    DataBlock dataBlock = *buildDataBlock(makeDefaultImage());
    bool answersBlock = true;

    void writeData(ByteSpan report) override
    {
        FakeTransport::writeData(report);
        if (std::ranges::equal(report, modeQueryCommand()) && modeAnswer)
            queue(*modeAnswer);
        if (std::ranges::equal(report, readBlockCommand(kControlBlockAddress)) && answersBlock)
            answerControlBlock();
        for (int n = 1; n <= kMemoryCount; ++n)
            if (std::ranges::equal(report, readBlockCommand(dataBlockAddress(n))) && answersBlock)
                answerBlock(dataBlock);
    }

    void answerControlBlock()
    {
        if (controlBlockReply.empty())
            answerBlock(block);
        else
            queue(controlBlockReply);
    }

    void answerBlock(const Block& answer)
    {
        queue({0xC0, 0x44, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00});
        for (std::size_t at = 0; at < answer.size(); at += kDataReportSize)
            queue(Bytes(answer.begin() + static_cast<std::ptrdiff_t>(at),
                        answer.begin() + static_cast<std::ptrdiff_t>(at + kDataReportSize)));
    }
};

// M1 named on a local stick, M2 named on a remote stick, M3 local without a name,
// M4 never written; firmware 1.77 of 5704 bytes.
ControlBlock sampleControlBlock()
{
    ControlBlock block{};
    block.fill(0xFF);
    fillMemoryRecord(block, 1, false, 0, "Street");
    fillMemoryRecord(block, 2, true, 0x3F, "Remote 2");
    fillMemoryRecord(block, 3, false, 0, "        ");
    writeFirmwareRecord(block, 77, 5704);
    return block;
}

TEST(CliStickStatus, PrintsTheModeAndTheMemoriesAsStartUpFindsThem)
{
    const Bytes local = {0xC0, 0x22, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00};
    const Bytes remote = {0xC0, 0x22, 0x5A, 0x79, 0xA5, 0x00, 0x00, 0x00};
    const std::string localMemories = "M1: Street\nM2: empty\nM3: (unnamed)\nM4: empty\n";
    const std::string firmware = "Firmware: Version 1.77, 5704 bytes\n";
    const struct {
        std::string name;
        std::optional<Bytes> modeAnswer;
        Bytes controlBlockReply;
        std::string out;
    } cases[] = {
        {"local", local, {}, "memory mode, local stick\n" + localMemories + firmware},
        {"remote", remote, {}, "memory mode, remote stick\nM1: empty\nM2: Remote 2\nM3: empty\nM4: empty\n" + firmware},
        {"legacy", std::nullopt, {}, "memory mode, stick does not answer the mode query\n" + localMemories + firmware},
        {"usb", std::nullopt, {0xB2, 0x50}, "USB Stick mode, device connected\n"},
        {"usb without device", std::nullopt, {0xB2, 0x51}, "USB Stick mode, no device\n"},
    };
    for (const auto& c : cases) {
        ScriptedStick stick;
        stick.modeAnswer = c.modeAnswer;
        stick.controlBlockReply = c.controlBlockReply;
        stick.block = sampleControlBlock();
        test::TestWaiter waiter;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runStickStatus(stick, waiter, out, err), 0) << c.name;
        EXPECT_EQ(out.str(), c.out) << c.name;
        EXPECT_TRUE(err.str().empty()) << c.name;
    }
}

TEST(CliStickStatus, NoFirmwareRecord)
{
    ScriptedStick stick;
    stick.modeAnswer = Bytes{0xC0, 0x22, 0x5A, 0x00, 0x00};
    stick.block = sampleControlBlock();
    stick.block[kFirmwareRecordOffset + 2] = 0xC2; // a memory signature is no firmware record
    test::TestWaiter waiter;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runStickStatus(stick, waiter, out, err), 0);
    EXPECT_TRUE(contains(out.str(), "\nFirmware: no firmware record\n")) << out.str();
}

TEST(CliStickStatus, NoStickAndMissingControlBlockHaveTheirExitCodes)
{
    const struct {
        std::string name;
        bool present;
        int code;
        std::string err;
    } cases[] = {
        {"no stick", false, cliExit::noStick, "No stick found.\n"},
        {"silent stick", true, cliExit::transferFailed,
         "The stick did not answer: neither its control block (memory mode) nor a link reply (USB Stick mode) came "
         "within 5 s.\n"},
    };
    for (const auto& c : cases) {
        ScriptedStick stick;
        stick.present = c.present;
        stick.answersBlock = false;
        test::TestWaiter waiter;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runStickStatus(stick, waiter, out, err), c.code) << c.name;
        EXPECT_TRUE(out.str().empty()) << c.name;
        EXPECT_EQ(err.str(), c.err) << c.name;
    }
}

// The erase command is not answered: a stick whose control block still names its
// memories afterwards has not erased them, whatever was sent.
TEST(CliStickErase, AnEraseThatDidNotTakeIsReported)
{
    ScriptedStick stick;
    stick.modeAnswer = Bytes{0xC0, 0x22, 0x5A, 0x00, 0x00};
    stick.block = sampleControlBlock();
    test::TestWaiter waiter;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runStickErase(stick, waiter, false, out, err), cliExit::transferFailed);
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(err.str().starts_with("The erase did not take: the stick is memory mode, local stick.\nM1: Street\n"))
        << err.str();
    EXPECT_TRUE(std::ranges::equal(stick.written.at(2), eraseCommand())) << "the erase command went out";
}

TEST(CliBridge, ASocketPathLongerThanAnAddressHoldsIsNamed)
{
    const std::string path = "/tmp/" + std::string(200, 's');
    ::setenv("ORMID_HID_BRIDGE", path.c_str(), 1);
    const CliRun run = cli({"stick", "status"});
    ::unsetenv("ORMID_HID_BRIDGE");
    EXPECT_EQ(run.code, cliExit::noStick);
    EXPECT_EQ(run.err,
              "ORMID_HID_BRIDGE cannot be used: the socket path has 205 characters, a socket address holds "
              "at most 107.\n");
}

// The stick commands against the simulated stick on a virtual clock.
class CliOnStick : public Cli {
protected:
    // M1 "First" and M2 "Second" hold configurations; M3 and M4 are empty.
    static sim::StickState presetState(bool remote)
    {
        sim::StickState state;
        state.remote = remote;
        EXPECT_EQ(sim::presetMemory(state, 1, customImage(), "First"), "");
        EXPECT_EQ(sim::presetMemory(state, 2, makeDefaultImage(), "Second"), "");
        return state;
    }

    void start(sim::StickState state, sim::Faults faults = {}, sim::StickConfig config = {})
    {
        initial_ = state;
        model_.emplace(config, faults, std::move(state));
        transport_.emplace(*model_, clock_);
    }

    ControlBlock stickControlBlock() const { return sim::readStickBlock(model_->state(), kControlBlockAddress); }

    CliRun read(int memory, const std::string& path)
    {
        std::ostringstream out, err;
        const int code = runStickRead(*transport_, waiter_, memory, path, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun write(int memory, const std::string& path, const std::string* name = nullptr,
                 std::optional<Byte> tx = std::nullopt)
    {
        std::ostringstream out, err;
        const int code = runStickWrite(*transport_, waiter_, memory, path, name, out, err, tx);
        return {code, out.str(), err.str()};
    }
    CliRun erase(bool remote)
    {
        std::ostringstream out, err;
        const int code = runStickErase(*transport_, waiter_, remote, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun backup(const std::filesystem::path& folder, bool force = false)
    {
        std::ostringstream out, err;
        const int code = runStickBackup(*transport_, waiter_, folder.string(), out, err, force);
        return {code, out.str(), err.str()};
    }
    // Every file of the test folder, below it, with its bytes.
    std::map<std::string, std::string> folderContents() const
    {
        std::map<std::string, std::string> contents;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_))
            contents[std::filesystem::relative(entry.path(), folder_).string()]
                = entry.is_regular_file() ? readWholeFile(entry.path()).bytes : std::string("(folder)");
        return contents;
    }

    sim::StickState initial_;
    sim::VirtualClock clock_;
    sim::VirtualWaiter waiter_{clock_};
    std::optional<sim::StickModel> model_;
    std::optional<sim::SimTransport> transport_;
};

TEST_F(CliOnStick, AWrittenFileReadsBackFromTheMemory)
{
    for (const bool remote : {false, true}) {
        start(presetState(remote));
        const std::string file = put("in.kdc", saveConfiguration(customImage(), "Corner"));
        const CliRun written = write(3, file);
        ASSERT_EQ(written.code, 0) << written.err;

        const MemoryRecord record = readMemoryRecord(stickControlBlock(), 3);
        EXPECT_TRUE(record.isValid(remote));
        EXPECT_EQ(record.blockNumber, 0x0100);
        EXPECT_EQ(record.name(), "Corner  ") << "the file's info text names the memory";

        const std::string back = (folder_ / "back.kdc").string();
        const CliRun run = read(3, back);
        ASSERT_EQ(run.code, 0) << run.err;
        const auto file_ = readWholeFile(back);
        const auto loaded = loadConfiguration(file_.bytes, makeDefaultImage(), {});
        ASSERT_EQ(loaded.outcome, ConfigLoadOutcome::Loaded);
        const auto expected = loadConfiguration(readWholeFile(file).bytes, makeDefaultImage(), {});
        EXPECT_TRUE(std::equal(expected.image.begin(), expected.image.begin() + 96, loaded.image.begin())) << remote;
        EXPECT_EQ(loaded.info, "Corner") << remote;
    }
}

TEST_F(CliOnStick, TheNameOptionAndTheTxSelectionOfARemoteMemory)
{
    sim::StickState state = presetState(true);
    state.memory[kControlBlockAddress + memoryRecordOffset(2) + 3] = 0x21; // Tx bits of M2
    start(state);
    const std::string name = "Kiosk";
    ASSERT_EQ(write(2, put("in.kdc", saveConfiguration(customImage(), "Ignored")), &name).code, 0);
    const MemoryRecord record = readMemoryRecord(stickControlBlock(), 2);
    EXPECT_EQ(record.name(), "Kiosk   ");
    EXPECT_EQ(record.status, 0x21) << "the command line keeps the memory's Tx selection";
}

TEST_F(CliOnStick, ARemoteMemoryGetsTheChosenFramesAndReadPrintsThem)
{
    start(presetState(true));
    const std::string file = put("in.kdc", saveConfiguration(makeDefaultImage(), "Kiosk"));
    const CliRun written = write(3, file, nullptr, parseTxSelection("pol,isden"));
    ASSERT_EQ(written.code, 0) << written.err;
    const std::string frames = "Remote frames:\n  0 power-on: value 255, fade 0, level 20 (100 %)\n  29 ISD: on\n";
    EXPECT_TRUE(written.out.ends_with(frames)) << written.out;
    EXPECT_EQ(readMemoryRecord(stickControlBlock(), 3).status, 0x05);
    const Block stored = sim::readStickBlock(model_->state(), remoteBlockAddress(3));
    EXPECT_EQ(stored, *buildRemoteFrameBlock(encodeRemoteFrames(makeDefaultImage(), 0x05)));

    const CliRun back = read(3, (folder_ / "back.kdc").string());
    ASSERT_EQ(back.code, 0) << back.err;
    EXPECT_TRUE(back.out.ends_with(frames)) << back.out;

    ASSERT_EQ(write(4, file).code, 0);
    EXPECT_EQ(readMemoryRecord(stickControlBlock(), 4).status, 0x3F) << "an empty memory sends everything";
    EXPECT_EQ(cli({"stick", "write", "M1", file, "--tx", "pol,radio"}).code, cliExit::usage);
}

// A file goes to a stick as the window holds it after Load: on a remote stick with the
// levels and fades its frames can say (a power-on level of 54 % is stored and sent as
// 55 %), on a local one as saved.
TEST_F(CliOnStick, AFileIsWrittenAsTheWindowHoldsItForThatStick)
{
    EeBlock saved = makeDefaultImage();
    saved[field::powerOnLevel] = 54;
    const std::string file = put("odd.kdc", saveConfiguration(saved, "Odd"));
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote stick" : "local stick");
        start(presetState(remote));
        ASSERT_EQ(write(3, file, nullptr, remote ? std::optional<Byte>(0x01) : std::nullopt).code, 0);
        EeBlock held = saved;
        applyDisplayRules(held, remote);
        EXPECT_EQ(held[field::powerOnLevel], remote ? 55 : 54);
        EXPECT_EQ(sim::readStickBlock(model_->state(), dataBlockAddress(3)), *buildDataBlock(held));
        if (remote) {
            EXPECT_EQ(sim::readStickBlock(model_->state(), remoteBlockAddress(3)),
                      *buildRemoteFrameBlock(encodeRemoteFrames(held, 0x01)));
        }
    }
}

TEST_F(CliOnStick, AFailedWriteNamesTheStepAndLeavesTheStick)
{
    const struct {
        const char* name;
        sim::Faults faults;
        const char* code;
    } cases[] = {
        {"refused data block", {.ackStatusZero = true}, "Firmware Write Error!CF\n"},
        {"dropped in the control block", {.dropAfterReports = 43}, "Firmware Write Error!CB\n"},
    };
    // 43 reports: the probe's 20 (mode query and control block), the data block's 18, then
    // five into the control block.
    for (const auto& c : cases) {
        start(presetState(false), c.faults);
        const CliRun run = write(1, put("in.kdc", saveConfiguration(makeDefaultImage(), "X")));
        EXPECT_EQ(run.code, cliExit::transferFailed) << c.name;
        EXPECT_TRUE(run.err.starts_with(c.code)) << run.err;
        EXPECT_EQ(stickControlBlock(), sim::readStickBlock(initial_, kControlBlockAddress)) << c.name;
    }
}

// A memory whose record names data its block does not hold is shown as suspect.
TEST_F(CliOnStick, StatusMarksAMemoryWhoseDataBlockIsDamaged)
{
    sim::StickState state = presetState(false);
    state.memory[dataBlockAddress(2)] = 0x20; // a length byte above 15
    start(state);
    std::ostringstream out, err;
    EXPECT_EQ(runStickStatus(*transport_, waiter_, out, err), cliExit::success) << err.str();
    EXPECT_EQ(out.str(),
              "memory mode, local stick\n"
              "M1: First\n"
              "M2: Second (suspect: its data block is damaged: "
                  + std::string(describe(DataBlockWalk::lengthTooLarge))
                  + ")\n"
                    "M3: empty\n"
                    "M4: empty\n"
                    "Firmware: no firmware record\n");
}

// One flipped byte of a data block breaks its record's checksum: the memory is named
// damaged and never passed on as a configuration.
TEST_F(CliOnStick, AMemoryWithOneFlippedByteIsDamagedEverywhere)
{
    sim::StickState state = presetState(false);
    state.memory[dataBlockAddress(2) + 5] ^= 0x01; // an image byte of record 1
    start(state);
    const std::string damaged = std::string(describe(DataBlockWalk::badChecksum));
    std::ostringstream out, err;
    EXPECT_EQ(runStickStatus(*transport_, waiter_, out, err), cliExit::success) << err.str();
    EXPECT_TRUE(contains(out.str(), "M2: Second (suspect: its data block is damaged: " + damaged + ")\n")) << out.str();

    const CliRun read2 = read(2, (folder_ / "m2.kdc").string());
    EXPECT_EQ(read2.code, cliExit::invalidInput);
    EXPECT_TRUE(contains(read2.err, "The data block of M2 is damaged: " + damaged)) << read2.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "m2.kdc"));

    const CliRun saved = backup(folder_ / "site");
    EXPECT_NE(saved.code, cliExit::success);
    EXPECT_TRUE(contains(saved.err, "The data block of M2 is damaged")) << saved.err;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "site"));

    std::ostringstream forcedOut, forcedErr;
    const std::string forcedPath = (folder_ / "forced.kdc").string();
    EXPECT_EQ(runStickRead(*transport_, waiter_, 2, forcedPath, forcedOut, forcedErr, {.replaceReadOnly = true}),
              cliExit::success)
        << forcedErr.str();
    EXPECT_TRUE(contains(forcedErr.str(), "M2 is read despite its damaged record 1")) << forcedErr.str();
    EeBlock expected = makeDefaultImage();
    ASSERT_EQ(copyDataBlockToImage(sim::readStickBlock(model_->state(), dataBlockAddress(2)), kStoredLength, expected,
                                   Checksums::ignored),
              DataBlockWalk::copied);
    const auto forced = loadConfiguration(readWholeFile(forcedPath).bytes, makeDefaultImage(), {});
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kStoredImageBytes, forced.image.begin()))
        << "the bytes as the stick holds them";
}

// A file the user write-protected is kept unless --force is given.
TEST_F(CliOnStick, ReadReplacesAWriteProtectedFileOnlyWhenForced)
{
    start(presetState(false));
    const std::string path = put("kept.kdc", "old");
    ::chmod(path.c_str(), 0444);
    std::ostringstream out, err;
    EXPECT_EQ(runStickRead(*transport_, waiter_, 1, path, out, err), cliExit::invalidInput);
    EXPECT_EQ(err.str(), "Cannot write " + path + ": the file is write-protected (--force replaces it)\n");
    EXPECT_EQ(readWholeFile(path).bytes, "old");

    EXPECT_EQ(runStickRead(*transport_, waiter_, 1, path, out, err, {.replaceReadOnly = true}), cliExit::success);
    EXPECT_TRUE(contains(readWholeFile(path).bytes, "MMN"));
}

TEST_F(CliOnStick, ReadRefusesEmptyAndDamagedMemories)
{
    sim::StickState state = presetState(false);
    state.memory[dataBlockAddress(2)] = 0x20; // a length byte above 15
    start(state);
    const std::string path = (folder_ / "out.kdc").string();

    const CliRun empty = read(4, path);
    EXPECT_EQ(empty.code, cliExit::invalidInput);
    EXPECT_EQ(empty.err, "M4 is empty.\n");

    const CliRun damaged = read(2, path);
    EXPECT_EQ(damaged.code, cliExit::invalidInput);
    EXPECT_TRUE(contains(damaged.err, "The data block of M2 is damaged: ")) << damaged.err;
    EXPECT_TRUE(contains(damaged.err, describe(DataBlockWalk::lengthTooLarge))) << damaged.err;
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(CliOnStick, WriteRefusesAFileThatIsNoConfiguration)
{
    start(presetState(false));
    const CliRun run = write(1, put("fw.kdc", firmwareText(300, 5, true)));
    EXPECT_EQ(run.code, cliExit::invalidInput);
    EXPECT_EQ(stickControlBlock(), sim::readStickBlock(initial_, kControlBlockAddress));
}

TEST_F(CliOnStick, EraseSwitchesTheStickAndClearsItsMemories)
{
    for (const bool remote : {false, true}) {
        start(presetState(!remote));
        const CliRun run = erase(remote);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(model_->state().remote, remote);
        for (int n = 1; n <= kMemoryCount; ++n)
            EXPECT_FALSE(readMemoryRecord(stickControlBlock(), n).isValid(remote)) << n;
    }
}

TEST_F(CliOnStick, GoRemoteNeedsAStickThatAnswersTheModeQuery)
{
    start(presetState(false), {}, sim::StickConfig{.legacy = true});
    const CliRun run = erase(true);
    EXPECT_EQ(run.code, cliExit::transferFailed);
    EXPECT_FALSE(model_->state().remote);
    EXPECT_TRUE(readMemoryRecord(stickControlBlock(), 1).isValid(false)) << "nothing erased";
}

// A stick whose backup differs from presetState's in every file.
sim::StickState olderStick()
{
    sim::StickState older;
    EXPECT_EQ(sim::presetMemory(older, 1, makeDefaultImage(), "Older"), "");
    EXPECT_EQ(sim::presetMemory(older, 3, customImage(), "Third"), "");
    return older;
}

// A backup is written beside its folder and takes the folder's place only when it is
// complete: a stick pulled out mid-way leaves the folder as it was, an older backup in it
// included, and nothing beside it.
TEST_F(CliOnStick, AnUnfinishedBackupLeavesItsFolderAsItWas)
{
    const sim::StickState older = olderStick();
    sim::Faults pulled;
    pulled.dropAfterReports = 45; // after the probe (20) and M1 (18 more), while M2 is read
    for (const bool olderBackup : {false, true}) {
        SCOPED_TRACE(olderBackup ? "over an older backup, --force" : "into a new folder");
        std::filesystem::remove_all(folder_ / "site");
        if (olderBackup) {
            start(older);
            ASSERT_EQ(backup(folder_ / "site").code, 0);
        }
        const std::map<std::string, std::string> before = folderContents();
        start(presetState(false), pulled);
        const CliRun run = backup(folder_ / "site", true);
        EXPECT_NE(run.code, 0);
        EXPECT_TRUE(contains(run.err, "No backup was made; ")) << run.err;
        EXPECT_EQ(folderContents(), before);
    }
}

TEST_F(CliOnStick, ForceReplacesAnOlderBackupWholeButNoFolderOfOtherFiles)
{
    const sim::StickState older = olderStick();
    start(older);
    ASSERT_EQ(backup(folder_ / "site").code, 0);
    start(presetState(false));
    EXPECT_EQ(backup(folder_ / "site").code, cliExit::invalidInput) << "without --force";
    const CliRun replaced = backup(folder_ / "site/", true);
    ASSERT_EQ(replaced.code, 0) << replaced.err;
    std::vector<std::string> files;
    for (const auto& [name, bytes] : folderContents())
        files.push_back(name);
    EXPECT_EQ(files, (std::vector<std::string>{"site", "site/M1-First.kdc", "site/M2-Second.kdc", "site/manifest.ini"}))
        << "the older M3 file went with the older backup, and nothing is left beside the folder";

    std::filesystem::create_directory(folder_ / "notes");
    put("notes/todo.txt", "keep me");
    const CliRun refused = backup(folder_ / "notes", true);
    EXPECT_EQ(refused.code, cliExit::invalidInput);
    EXPECT_TRUE(contains(refused.err, "holds no backup")) << refused.err;
    EXPECT_EQ(readWholeFile(folder_ / "notes" / "todo.txt").bytes, "keep me");
}

TEST_F(CliOnStick, WithoutAStickOrInUsbStickModeNothingIsDone)
{
    const std::string file = put("in.kdc", saveConfiguration(makeDefaultImage(), "X"));
    const std::string out = (folder_ / "out.kdc").string();
    const struct {
        const char* name;
        bool pluggedIn;
        sim::StickMode mode;
        int code;
    } cases[] = {
        {"no stick", false, sim::StickMode::memory, cliExit::noStick},
        {"USB Stick mode", true, sim::StickMode::usb, cliExit::transferFailed},
    };
    for (const auto& c : cases) {
        start(presetState(false), {}, sim::StickConfig{.mode = c.mode});
        transport_->setPluggedIn(c.pluggedIn);
        EXPECT_EQ(read(1, out).code, c.code) << c.name;
        EXPECT_EQ(write(1, file).code, c.code) << c.name;
        EXPECT_EQ(erase(false).code, c.code) << c.name;
        EXPECT_EQ(model_->state(), initial_) << c.name;
        EXPECT_FALSE(fs::exists(out)) << c.name;
    }
}

// The device commands against the simulated stick in USB Stick mode.
class CliOnDevice : public CliOnStick {
protected:
    void startDevice(sim::Faults faults = {}, sim::StickConfig config = {})
    {
        config.mode = sim::StickMode::usb;
        sim::StickState state;
        for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
            state.deviceMemory[i] = static_cast<Byte>(i ^ 0x5A);
        start(std::move(state), faults, config);
    }
    Bytes deviceMemory() const { return {model_->state().deviceMemory.begin(), model_->state().deviceMemory.end()}; }

    CliRun status()
    {
        std::ostringstream out, err;
        const int code = runDeviceStatus(*transport_, waiter_, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun deviceRead(const std::string& path, const std::string* raw)
    {
        std::ostringstream out, err;
        const int code = runDeviceRead(*transport_, waiter_, path, raw, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun deviceWrite(const std::string& path)
    {
        std::ostringstream out, err;
        const int code = runDeviceWrite(*transport_, waiter_, path, out, err);
        return {code, out.str(), err.str()};
    }
    CliRun updateFw(const std::string* path)
    {
        std::ostringstream out, err;
        const int code = runDeviceUpdateFw(*transport_, waiter_, path, out, err);
        return {code, out.str(), err.str()};
    }
    // The device runs 1.70 before an update and `after` once it has taken one.
    static sim::StickConfig updatableDevice(Byte after = kBuiltInVersion)
    {
        return {.deviceFirmware = 70, .firmwareAfterUpdate = after};
    }
    static constexpr Byte kBuiltInVersion = 77;
};

TEST_F(CliOnDevice, StatusPrintsTheDeviceNumberAndFirmware)
{
    const struct {
        Byte firmware;
        const char* text;
    } cases[] = {{77, "Device Nr. 12345678\nFW 1.77\n"}, {0xFF, "Device Nr. 12345678\nFW ???\n"}};
    for (const auto& c : cases) {
        startDevice({}, sim::StickConfig{.deviceFirmware = c.firmware});
        const CliRun run = status();
        EXPECT_EQ(run.code, cliExit::success) << run.err;
        EXPECT_EQ(run.out, c.text);
    }
}

TEST_F(CliOnDevice, ReadSavesTheConfigurationAndTheRawMemory)
{
    startDevice();
    const std::string kdc = (folder_ / "device.kdc").string();
    const std::string raw = (folder_ / "device.bin").string();
    const CliRun run = deviceRead(kdc, &raw);
    ASSERT_EQ(run.code, cliExit::success) << run.err;

    const Bytes memory = deviceMemory();
    const auto rawFile = readWholeFile(raw);
    ASSERT_TRUE(rawFile.ok());
    EXPECT_EQ(Bytes(rawFile.bytes.begin(), rawFile.bytes.end()), memory);
    const auto kdcFile = readWholeFile(kdc);
    ASSERT_TRUE(kdcFile.ok());
    EXPECT_EQ(kdcFile.bytes, saveConfiguration(EeBlock(memory.begin(), memory.end()), ""));
}

TEST_F(CliOnDevice, WriteSendsTheFileAndKeepsTheDevicesOwnBytes)
{
    startDevice();
    const Bytes before = deviceMemory();
    const EeBlock image = customImage();
    const std::string file = put("in.kdc", saveConfiguration(image, "Dev"));
    const CliRun run = deviceWrite(file);
    ASSERT_EQ(run.code, cliExit::success) << run.err;

    EeBlock expected = image;
    clearAstroData(expected); // as "Load" takes the file
    const Bytes after = deviceMemory();
    EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kStoredImageBytes, after.begin()));
    EXPECT_TRUE(std::equal(before.begin() + kStoredImageBytes, before.end(), after.begin() + kStoredImageBytes));
}

TEST_F(CliOnDevice, FailuresEndWithTheirExitCodes)
{
    const std::string file = put("in.kdc", saveConfiguration(customImage(), "Dev"));
    sim::Faults refusing;
    refusing.refuseWriteMemory = 6;
    sim::Faults damaging;
    damaging.corruptReadAt = 52;
    const struct {
        const char* name;
        sim::Faults faults;
        sim::StickConfig config;
        bool memoryMode;
        bool pluggedIn;
        int code;
        const char* message;
    } cases[] = {
        {"no stick", {}, {}, false, false, cliExit::noStick, "No stick found."},
        {"memory mode", {}, {}, true, true, cliExit::transferFailed, "memory mode"},
        {"silent device",
         {},
         sim::StickConfig{.deviceConnected = false},
         false,
         true,
         cliExit::transferFailed,
         "No device announced itself"},
        {"refused writes", refusing, {}, false, true, cliExit::transferFailed, "Transfer Error!"},
        {"damaged read", damaging, {}, false, true, cliExit::transferFailed, "Reading the device failed."},
    };
    for (const auto& c : cases) {
        if (c.memoryMode)
            start(presetState(false), c.faults, c.config);
        else
            startDevice(c.faults, c.config);
        transport_->setPluggedIn(c.pluggedIn);
        const Bytes before = deviceMemory();
        const CliRun run = deviceWrite(file);
        EXPECT_EQ(run.code, c.code) << c.name;
        EXPECT_TRUE(contains(run.err, c.message)) << c.name << ": " << run.err;
        EXPECT_EQ(deviceMemory(), before) << c.name;
    }
}

TEST_F(CliOnDevice, UpdateSendsEveryPageOfTheBuiltInImageAndResetsTheDevice)
{
    FirmwareImage builtIn;
    ASSERT_TRUE(loadEmbeddedFirmware(builtIn, embeddedFirmwareContainer(), true));
    ASSERT_EQ(builtIn.fwSize, 5704);
    startDevice({}, updatableDevice());
    const CliRun run = updateFw(nullptr);
    ASSERT_EQ(run.code, cliExit::success) << run.err;

    // 5704 bytes are 80 pages of 72 from the buffer, the last one filled past the image.
    const Bytes& received = model_->state().receivedFirmware;
    ASSERT_EQ(received.size(), 80u * kPageBytes);
    EXPECT_TRUE(std::equal(received.begin(), received.end(), builtIn.fwImage.begin()));
    const auto lines = splitTextLines(run.out);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](std::string_view l) { return l.starts_with("page "); }), 80);
    EXPECT_TRUE(contains(run.out, "page 1/80\n"));
    EXPECT_TRUE(contains(run.out, "page 80/80\nFW Update finished.\nThe device announces FW 1.77.\n"));
    EXPECT_EQ(status().out, "Device Nr. 12345678\nFW 1.77\n");
}

TEST_F(CliOnDevice, UpdateFromAFileSendsThatImage)
{
    startDevice({}, updatableDevice(5));
    const std::string file = put("small.kdp", firmwareText(1000, 5, true));
    const CliRun run = updateFw(&file);
    ASSERT_EQ(run.code, cliExit::success) << run.err;
    EXPECT_TRUE(contains(run.out, "page 14/14\n"));
    const Bytes& received = model_->state().receivedFirmware;
    ASSERT_EQ(received.size(), 14u * kPageBytes);
    for (std::size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(received[i], static_cast<Byte>(i)) << i;
    EXPECT_TRUE(std::all_of(received.begin() + 1000, received.end(), [](Byte b) { return b == 0xFF; }));
}

// A production line of three devices, the second refusing writes: each is written and
// verified (brought to the built-in firmware first with --update-fw), the failure is
// reported, and the batch goes on with the third.
TEST_F(CliOnDevice, BatchProgramsOneDeviceAfterAnother)
{
    for (const bool update : {false, true}) {
        SCOPED_TRACE(update ? "with --update-fw" : "without update");
        sim::StickConfig line = update ? updatableDevice() : sim::StickConfig{};
        line.deviceId = {0x11, 0x11, 0x11, 0x11};
        line.nextDevices = {{{0x22, 0x22, 0x22, 0x22}, true}, {{0x33, 0x33, 0x33, 0x33}, false}};
        startDevice({}, line);
        const std::string file = put("lamp.kdc", saveConfiguration(customImage(), "Lamp"));
        const std::string logPath = (folder_ / (update ? "update.csv" : "plain.csv")).string();
        std::ostringstream out, err;
        const DeviceBatch batch{.path = file, .logPath = &logPath, .updateFirmware = update, .count = 3};
        const int code = runDeviceBatch(*transport_, waiter_, batch, out, err);

        EXPECT_EQ(code, cliExit::transferFailed) << "one device failed\n" << err.str();
        const std::string lines = out.str();
        EXPECT_TRUE(lines.ends_with("3 devices: 2 done, 1 failed.\n")) << lines;
        EXPECT_TRUE(contains(lines, "1  Device Nr. 11111111  FW 1.77  done\n")) << lines;
        EXPECT_TRUE(contains(lines, "2  Device Nr. 22222222  FW 1.77  failed: Transfer Error!")) << lines;
        EXPECT_TRUE(contains(lines, "3  Device Nr. 33333333  FW 1.77  done\n")) << lines;
        EeBlock expected = customImage();
        clearAstroData(expected); // as "Load" takes the file
        EXPECT_TRUE(
            std::equal(expected.begin(), expected.begin() + kStoredImageBytes, model_->state().deviceMemory.begin()))
            << "the third device holds the file";

        const std::string log = readWholeFile(logPath).bytes;
        EXPECT_TRUE(log.starts_with("number,time,device,firmware,result\n")) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
        EXPECT_TRUE(contains(log, ",22222222,FW 1.77,failed: Transfer Error!")) << log;
        EXPECT_TRUE(contains(log, ",33333333,FW 1.77,done\n")) << log;
    }
}

// A log that cannot be opened stops the batch before any device is touched; one that
// fails later is said for each row, and the devices are programmed all the same.
// The log is opened like every other output, before any device is programmed: a FIFO is
// refused without waiting for a reader, a device file and a write-protected file too
// (the latter is appended to with --force). A row that cannot be written (here: the file
// may not grow) is said and makes the exit code 1.
TEST_F(CliOnDevice, ALogThatCannotBeWrittenIsSaid)
{
    const std::string file = put("lamp.kdc", saveConfiguration(customImage(), "Lamp"));
    ASSERT_EQ(::mkfifo((folder_ / "fifo.csv").c_str(), 0600), 0);
    const std::string header = "number,time,device,firmware,result\n";
    const std::string protectedLog = put("protected.csv", header);
    const std::string fullLog = put("full.csv", header);
    ::chmod(protectedLog.c_str(), 0444);
    const struct {
        const char* name;
        std::string log;
        bool force;
        bool cannotGrow;
        int code;
        std::string message;
        bool programmed;
    } cases[] = {
        {"missing folder", (folder_ / "absent" / "line.csv").string(), false, false, cliExit::invalidInput,
         "Cannot write the log", false},
        {"FIFO", (folder_ / "fifo.csv").string(), false, false, cliExit::invalidInput, "not a regular file", false},
        {"device file", "/dev/full", false, false, cliExit::invalidInput, "not a regular file", false},
        {"write-protected", protectedLog, false, false, cliExit::invalidInput, "write-protected", false},
        {"write-protected, --force", protectedLog, true, false, cliExit::success, "", true},
        {"full disk", fullLog, false, true, cliExit::invalidInput,
         "The row of device 1 could not be written to " + fullLog + ".", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startDevice();
        const Bytes before = deviceMemory();
        std::ostringstream out, err;
        const DeviceBatch batch{.path = file,
                                .logPath = &c.log,
                                .logOptions = {.replaceReadOnly = c.force},
                                .updateFirmware = false,
                                .count = 1};
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const struct rlimit noGrowth = {header.size(), limit.rlim_max};
        const auto previousSignal = ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead
        if (c.cannotGrow)
            ::setrlimit(RLIMIT_FSIZE, &noGrowth);
        const int code = runDeviceBatch(*transport_, waiter_, batch, out, err);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, previousSignal);
        EXPECT_EQ(code, c.code) << err.str();
        EXPECT_TRUE(contains(err.str(), c.message)) << err.str();
        EXPECT_EQ(deviceMemory() != before, c.programmed);
    }
    EXPECT_TRUE(contains(readWholeFile(protectedLog).bytes, "1,")) << "--force appended the row";
    EXPECT_EQ(readWholeFile(fullLog).bytes, header);
}

// Ctrl-C ends a batch at once while it waits for the next device, but only after the
// device it is programming has been written, verified and logged.
TEST_F(CliOnDevice, AnInterruptedBatchFinishesTheDeviceItIsProgramming)
{
    const std::string file = put("lamp.kdc", saveConfiguration(customImage(), "Lamp"));
    EeBlock expected = customImage();
    clearAstroData(expected); // as "Load" takes the file
    const struct {
        const char* name;
        std::function<bool(const Bytes& before)> when;
    } cases[] = {
        {"while waiting for the next device", [&](const Bytes&) { return clock_.now() > 60000; }},
        {"while writing", [&](const Bytes& before) { return deviceMemory() != before; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startDevice();
        const Bytes before = deviceMemory();
        std::atomic<bool> interrupted{false};
        // Sets the flag on the first sleep after `when` holds.
        test::TestWaiter waiter(clock_);
        waiter.onSleep = [&] {
            if (c.when(before))
                interrupted = true;
        };
        const DeviceBatch batch{.path = file,
                                .logPath = nullptr,
                                .updateFirmware = false,
                                .count = std::nullopt,
                                .interrupted = &interrupted};
        std::ostringstream out, err;
        EXPECT_EQ(runDeviceBatch(*transport_, waiter, batch, out, err), cliExit::success) << err.str();
        EXPECT_TRUE(interrupted);
        EXPECT_TRUE(out.str().ends_with("1  Device Nr. 12345678  FW 1.77  done\n1 device: 1 done, 0 failed.\n"))
            << out.str();
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kStoredImageBytes, deviceMemory().begin()));
    }
}

TEST_F(CliOnDevice, UpdateFailuresLeaveTheDeviceOnItsFirmware)
{
    sim::Faults refusing;
    refusing.refusePage = 3;
    sim::Faults dropping;
    dropping.dropAfterReports = 100; // within the update: the stick is pulled out
    const struct {
        const char* name;
        std::optional<std::string> file;
        sim::Faults faults;
        int code;
        const char* message;
        Byte afterUpdate = kBuiltInVersion; // what the device runs after a Reset
    } cases[] = {
        {"wrong CRC", firmwareText(1000, 5, false), {}, cliExit::invalidInput, "File is corrupted!"},
        {"configuration", saveConfiguration(customImage(), "Dev"), {}, cliExit::invalidInput, "File is corrupted!"},
        {"too large",
         firmwareText(0x3000, 5, true),
         {},
         cliExit::invalidInput,
         "The image size 12288 does not fit the 12288-byte firmware buffer."},
        {"lines short of the size",
         "FWX2000" + firmwareText(5704, 77, true).substr(7),
         {},
         cliExit::invalidInput,
         "The firmware file announces 8192 bytes, but its lines hold 5760."},
        {"size 0",
         "FWX0000" + firmwareText(100, 77, true).substr(7),
         {},
         cliExit::invalidInput,
         "The firmware file announces an image of 0 bytes."},
        {"refused page", std::nullopt, refusing, cliExit::transferFailed, "refused firmware page 4 of 80"},
        {"stick pulled out", std::nullopt, dropping, cliExit::transferFailed,
         "The stick was pulled out at firmware page 13 of 80: page 13 may or may not have been stored."},
        {"device keeps its firmware",
         std::nullopt,
         {},
         cliExit::transferFailed,
         "All 80 pages were acknowledged and the device was reset, but it announces FW 1.70, not FW 1.77: the update "
         "is not confirmed.",
         70},
    };
    for (const auto& c : cases) {
        startDevice(c.faults, updatableDevice(c.afterUpdate));
        const std::string path = c.file ? put("fw.kdp", *c.file) : std::string();
        const CliRun run = updateFw(c.file ? &path : nullptr);
        EXPECT_EQ(run.code, c.code) << c.name;
        EXPECT_TRUE(contains(run.err, c.message)) << c.name << ": " << run.err;
        EXPECT_FALSE(contains(run.out, "FW Update finished.")) << c.name;
        if (c.code == cliExit::invalidInput) {
            EXPECT_FALSE(contains(run.out, "Updating device")) << c.name << ": refused before the device is contacted";
        }
        transport_->setPluggedIn(false);
        transport_->setPluggedIn(true);
        EXPECT_EQ(status().out, "Device Nr. 12345678\nFW 1.70\n") << c.name;
    }
}

} // namespace
} // namespace ormid
