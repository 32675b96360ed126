// Start-up benchmark: how long ormid-programmer takes from process start to its window
// shown in demo mode, and how much resident memory the window holds, each against
// minimal-window, a Qt Widgets program that only shows an empty window, and against
// the same program showing one line of text: the fonts that any text needs are loaded
// before that window is shown, and they are most of what the programmer adds.
//
//   ormid-startup-bench [RUNS]     (default 10; the programs are looked up next to it)
//
// Each run spawns the program headless (QT_QPA_PLATFORM=offscreen, a private TMPDIR
// for the single-instance lock, a private XDG_RUNTIME_DIR, no stick bridge), polls for
// its report files, reads VmRSS from /proc/<pid>/status, then kills and reaps it. The
// programs run alternately, after one discarded warm-up run each.
//
// The times:
//   window shown    process start to the file written once the window is shown and the
//                   event loop has turned (programmer: ORMID_SHOWN_FILE; minimal-window:
//                   ORMID_STATUS_FILE); the demo pause has not begun yet
//   start-up done   programmer only: process start to ORMID_STATUS_FILE, less the fixed
//                   demo pause of 20 x 100 ms (a cross-check; the pause's timers are
//                   not exact)
// The memory: VmRSS once start-up is done (programmer: at the status file, the demo
// image drawn; minimal-window: at its status file), and for the programmer also at the
// window shown.
//
// It measures and prints; it never judges the figures.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::median;
using bench::millisecondsSince;
using bench::ownFolder;

constexpr double kDemoPauseMs = 20 * 100.0;
constexpr auto kPollPeriod = std::chrono::microseconds(250);
constexpr auto kRunTimeout = std::chrono::seconds(30);

struct Sample {
    double shownMs = 0;     // process start to the window shown
    double doneMs = 0;      // process start to the status file
    double shownRssKiB = 0; // VmRSS when the window was seen shown
    double doneRssKiB = 0;  // VmRSS at the status file
};

std::optional<double> residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr);
    }
    return std::nullopt;
}

bool fileExists(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The inherited environment without what would steer the run, plus the run's own settings.
std::vector<std::string> runEnvironment(const fs::path& folder, const fs::path& status, const fs::path& shown)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (name == "QT_QPA_PLATFORM" || name == "TMPDIR" || name == "XDG_RUNTIME_DIR" || name.rfind("ORMID_", 0) == 0)
            continue;
        env.push_back(variable);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("TMPDIR=" + (folder / "tmp").string());
    env.push_back("XDG_RUNTIME_DIR=" + (folder / "runtime").string());
    env.push_back("ORMID_STATUS_FILE=" + status.string());
    if (!shown.empty())
        env.push_back("ORMID_SHOWN_FILE=" + shown.string());
    return env;
}

void killAndReap(pid_t pid)
{
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// The second word of a status line "pid mode ...".
std::string reportedMode(const fs::path& status)
{
    std::ifstream file(status);
    std::string pid;
    std::string mode;
    file >> pid >> mode;
    return mode;
}

void printFile(const fs::path& path)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line))
        std::fprintf(stderr, "  | %s\n", line.c_str());
}

// One run of `program`, which must report `expectedMode`. With `hasShownFile` the
// window-shown time comes from ORMID_SHOWN_FILE, otherwise it is the status file's.
std::optional<Sample> runOnce(const fs::path& program, const std::vector<std::string>& arguments,
                              const std::string& expectedMode, bool hasShownFile)
{
    std::string folderTemplate = (fs::temp_directory_path() / "ormid-bench-XXXXXX").string();
    if (::mkdtemp(folderTemplate.data()) == nullptr) {
        std::perror("mkdtemp");
        return std::nullopt;
    }
    const fs::path folder = folderTemplate;
    fs::create_directory(folder / "tmp");
    fs::create_directory(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const fs::path status = folder / "status";
    const fs::path shown = hasShownFile ? folder / "shown" : fs::path();

    bench::CStringArray envp(runEnvironment(folder, status, shown));
    const std::string programPath = program.string();
    std::vector<std::string> words{programPath};
    words.insert(words.end(), arguments.begin(), arguments.end());
    bench::CStringArray argv(std::move(words));
    // The program's own output goes to a file, shown only when the run fails.
    const fs::path output = folder / "output";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    std::optional<Sample> result;
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (const int error = ::posix_spawn(&pid, programPath.c_str(), &actions, nullptr, argv.data(), envp.data());
        error != 0) {
        std::fprintf(stderr, "cannot start %s: %s\n", programPath.c_str(), std::strerror(error));
    } else {
        Sample sample;
        bool shownSeen = false;
        while (true) {
            if (hasShownFile && !shownSeen && fileExists(shown)) {
                sample.shownMs = millisecondsSince(start);
                sample.shownRssKiB = residentKiB(pid).value_or(0);
                shownSeen = true;
            }
            if (fileExists(status)) {
                sample.doneMs = millisecondsSince(start);
                sample.doneRssKiB = residentKiB(pid).value_or(0);
                if (!hasShownFile) {
                    sample.shownMs = sample.doneMs;
                    sample.shownRssKiB = sample.doneRssKiB;
                    shownSeen = true;
                }
                if (!shownSeen)
                    std::fprintf(stderr, "%s: status file without the window-shown file\n", programPath.c_str());
                else if (const std::string mode = reportedMode(status); mode != expectedMode)
                    std::fprintf(stderr, "%s ran in mode \"%s\", not \"%s\"\n", programPath.c_str(), mode.c_str(),
                                 expectedMode.c_str());
                else
                    result = sample;
                break;
            }
            int childStatus = 0;
            if (::waitpid(pid, &childStatus, WNOHANG) == pid) {
                std::fprintf(stderr, "%s ended before reporting its start-up\n", programPath.c_str());
                pid = 0;
                break;
            }
            if (Clock::now() - start > kRunTimeout) {
                std::fprintf(stderr, "%s did not report its start-up in time\n", programPath.c_str());
                break;
            }
            std::this_thread::sleep_for(kPollPeriod);
        }
        if (pid != 0)
            killAndReap(pid);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (!result)
        printFile(output);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return result;
}

template <typename Field>
std::vector<double> column(const std::vector<Sample>& samples, Field field)
{
    std::vector<double> values;
    for (const Sample& sample : samples)
        values.push_back(sample.*field);
    return values;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const fs::path folder = ownFolder(argv[0]);
    const fs::path programmer = folder / "ormid-programmer";
    const fs::path minimal = folder / "minimal-window";

    // The programmer and its two yardsticks, run in turn.
    struct Program {
        fs::path path;
        std::vector<std::string> arguments;
        bool isProgrammer;
        std::vector<Sample> samples;
    };
    std::vector<Program> programs = {
        {programmer, {}, true, {}},
        {minimal, {}, false, {}},
        {minimal, {"--text"}, false, {}},
    };
    auto measure = [](Program& program, bool keep) {
        const std::optional<Sample> sample
            = runOnce(program.path, program.arguments, program.isProgrammer ? "demo" : "minimal", program.isProgrammer);
        if (!sample)
            return false;
        if (keep)
            program.samples.push_back(*sample);
        return true;
    };
    // Warm-up: page cache, font cache.
    for (Program& program : programs) {
        if (!measure(program, false))
            return 1;
    }
    for (int run = 0; run < runs; ++run) {
        // Rotate which program goes first, so that none always follows another.
        for (std::size_t i = 0; i < programs.size(); ++i) {
            if (!measure(programs[(run + i) % programs.size()], true))
                return 1;
        }
    }

    const std::vector<Sample>& p = programs[0].samples;
    const double pShown = median(column(p, &Sample::shownMs));
    const double pDone = median(column(p, &Sample::doneMs)) - kDemoPauseMs;
    const double pShownRss = median(column(p, &Sample::shownRssKiB)) / 1024;
    const double pDoneRss = median(column(p, &Sample::doneRssKiB)) / 1024;
    const double mShown = median(column(programs[1].samples, &Sample::shownMs));
    const double mRss = median(column(programs[1].samples, &Sample::doneRssKiB)) / 1024;
    const double tShown = median(column(programs[2].samples, &Sample::shownMs));
    const double tRss = median(column(programs[2].samples, &Sample::doneRssKiB)) / 1024;

    std::printf("Start-up, medians of %d runs each (after one warm-up run), %u hardware threads\n", runs,
                std::thread::hardware_concurrency());
    std::printf("%-46s %12s %12s %7s %12s %7s\n", "", "programmer", "minimal", "ratio", "with text", "ratio");
    const auto timeRow = [&](const char* name, double programmerMs) {
        std::printf("%-46s %9.1f ms %9.1f ms %7.2f %9.1f ms %7.2f\n", name, programmerMs, mShown, programmerMs / mShown,
                    tShown, programmerMs / tShown);
    };
    const auto memoryRow = [&](const char* name, double programmerMiB) {
        std::printf("%-46s %8.1f MiB %8.1f MiB %7.2f %8.1f MiB %7.2f\n", name, programmerMiB, mRss,
                    programmerMiB / mRss, tRss, programmerMiB / tRss);
    };
    timeRow("start to window shown", pShown);
    timeRow("start to start-up done, less 2000 ms demo pause", pDone);
    memoryRow("resident memory, start-up done", pDoneRss);
    memoryRow("resident memory, window shown", pShownRss);
    return 0;
}
