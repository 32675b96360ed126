// Report benchmark: how long building and writing the PDF report of the full image takes
// (every function on, both dimming engines full: two pages), against the time ormid-cli
// takes to start and end doing nothing ("ormid-cli --help"); and how large the one- and
// two-page reports are.
//
//   ormid-report-bench [RUNS]     (default 20; ormid-cli is looked up next to it)
//
// In process, one report is: the report model of the image, its pages, pdf.ini, the PDF
// drawn with cairo and written atomically to a file. The first report of a process also
// sets up fontconfig and cairo's font cache, which every ormid-cli report pays once; it
// is shown apart from the median of the reports after it. Writing includes the flush to
// disk of the atomic write, so the drawing alone is shown too. For the whole picture the
// benchmark also runs "ormid-cli report" as a process. Last, the drawing with header
// lines of 1 MB each, which the header's width cuts to a few dozen characters.
//
// It measures and prints; it never judges the figures.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/atomic_file.h"
#include "files/config_file.h"
#include "files/report_header.h"
#include "files/report_images.h"
#include "files/report_layout.h"
#include "files/report_model.h"
#include "files/report_pdf.h"

#include "bench_support.h"

extern char** environ;

namespace {

using namespace ormid;
namespace fs = std::filesystem;
using bench::Clock;
using bench::median;
using bench::millisecondsSince;
using bench::ownFolder;

const ReportProject kProject{"Ringstraße Nord, Abschnitt 7", "LED 40W", "D-1", "01.02.2025"};

// The report of `image` drawn as a PDF document.
RenderResult drawReport(const EeBlock& image)
{
    return renderReportPdf(layoutReport(buildReportModel(image, &kProject), loadReportHeader()), std::time(nullptr));
}

// One report drawn and written to `path`; its size in bytes, nullopt on failure.
std::optional<std::size_t> writeReport(const EeBlock& image, const fs::path& path)
{
    const RenderResult pdf = drawReport(image);
    const std::string error = pdf.ok() ? writeFileAtomically(path, pdf.bytes).error : pdf.error;
    if (!error.empty()) {
        std::fprintf(stderr, "the report could not be written: %s\n", error.c_str());
        return std::nullopt;
    }
    return pdf.bytes.size();
}

// Milliseconds from starting `program` with `arguments` to its end; nullopt when it cannot
// start or does not end with exit code 0. Its output goes to /dev/null.
std::optional<double> processTime(const fs::path& program, const std::vector<std::string>& arguments)
{
    const std::string programPath = program.string();
    std::vector<std::string> words{programPath};
    words.insert(words.end(), arguments.begin(), arguments.end());
    bench::CStringArray argv(std::move(words));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    const int error = ::posix_spawn(&pid, programPath.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", programPath.c_str(), std::strerror(error));
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double elapsed = millisecondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not end well\n", programPath.c_str());
        return std::nullopt;
    }
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const fs::path cli = ownFolder(argv[0]) / "ormid-cli";
    std::string folderTemplate = (fs::temp_directory_path() / "ormid-report-bench-XXXXXX").string();
    if (::mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder = folderTemplate;
    const EeBlock full = test::fullReportImage();
    const fs::path fullFile = folder / "full.kdc";
    if (!writeFileAtomically(fullFile, saveConfiguration(full, "Full")).ok())
        return 1;

    Clock::time_point start = Clock::now();
    const std::optional<std::size_t> twoPages = writeReport(full, folder / "full.pdf");
    const double firstMs = millisecondsSince(start);
    const std::optional<std::size_t> onePage = writeReport(makeDefaultImage(), folder / "default.pdf");
    std::vector<double> reportMs;
    std::vector<double> drawMs;
    std::vector<double> startUpMs;
    std::vector<double> cliReportMs;
    for (int run = 0; run < runs && twoPages && onePage; ++run) {
        start = Clock::now();
        if (!writeReport(full, folder / "full.pdf"))
            return 1;
        reportMs.push_back(millisecondsSince(start));
        start = Clock::now();
        if (!drawReport(full).ok())
            return 1;
        drawMs.push_back(millisecondsSince(start));
        const std::optional<double> help = processTime(cli, {"--help"});
        const std::optional<double> report
            = processTime(cli, {"report", fullFile.string(), "-o", (folder / "cli.pdf").string(), "--project", "Park"});
        if (!help || !report)
            return 1;
        startUpMs.push_back(*help);
        cliReportMs.push_back(*report);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (!twoPages || !onePage)
        return 1;

    constexpr std::size_t kLongLine = std::size_t{1} << 20;
    ReportHeader longHeader{std::string(kLongLine, 'W'), {}};
    for (std::size_t i = 0; i < kLongLine / 2; ++i)
        longHeader.line2 += "\xC3\x84"; // Ä, two bytes
    std::vector<double> longHeaderMs;
    for (int run = 0; run < std::min(runs, 5); ++run) {
        start = Clock::now();
        if (!renderReportPdf(layoutReport(buildReportModel(full, &kProject), longHeader), std::time(nullptr)).ok())
            return 1;
        longHeaderMs.push_back(millisecondsSince(start));
    }

    const double report = median(reportMs);
    const double startUp = median(startUpMs);
    std::printf("PDF report of the full image (two pages), medians of %d runs\n", runs);
    std::printf("  %-52s %9.2f ms\n", "build and write, in process", report);
    std::printf("  %-52s %9.2f ms\n", "of which drawing (no file written)", median(drawMs));
    std::printf("  %-52s %9.2f ms\n", "build and write, first in the process (font set-up)", firstMs);
    std::printf("  %-52s %9.2f ms\n", "ormid-cli start-up (--help, start to end)", startUp);
    std::printf("  %-52s %9.3f\n", "build and write / ormid-cli start-up", report / startUp);
    std::printf("  %-52s %9.2f ms\n", "ormid-cli report as a process (start to end)", median(cliReportMs));
    std::printf("  %-52s %9.2f ms\n", "drawing with two 1 MB header lines (W, Ä)", median(longHeaderMs));
    std::printf("File sizes\n");
    std::printf("  %-52s %9.1f KB\n", "one page (default image, with project)", *onePage / 1024.0);
    std::printf("  %-52s %9.1f KB\n", "two pages (full image, with project)", *twoPages / 1024.0);
    return 0;
}
