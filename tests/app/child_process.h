#pragma once
// Real processes for the end-to-end tests: start one with an environment of its own
// and its output in a file, wait for what it should do, end it.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ormid::test {

// The folder of the built programs the end-to-end tests start.
inline const std::string kBinDir = ORMID_BIN_DIR;

// Starts `program` (looked up on PATH when it names no folder) with `arguments`,
// this process's environment with `environment` put over it, stdout and stderr
// appended to `output`. `passedFd`, when given, is the child's descriptor 3.
// -1 when it cannot start.
inline pid_t spawnProcess(const std::string& program, std::vector<std::string> arguments,
                          const std::map<std::string, std::string>& environment, const std::filesystem::path& output,
                          int passedFd = -1)
{
    std::vector<std::string> environmentLines;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string line = *entry;
        if (!environment.contains(line.substr(0, line.find('='))))
            environmentLines.push_back(line);
    }
    for (const auto& [name, value] : environment)
        environmentLines.push_back(name + "=" + value);

    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& line : environmentLines)
        envp.push_back(line.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (passedFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, passedFd, 3);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

// Waits (at most `limit`; sanitizer builds under load are slow) until `done` holds.
inline bool awaitCondition(const std::function<bool()>& done,
                           std::chrono::milliseconds limit = std::chrono::seconds(60))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The wait status of a child that ends by itself; -1 when it did not end in time
// (it is then killed).
inline int awaitExit(pid_t pid)
{
    int status = -1;
    if (!awaitCondition([&] { return ::waitpid(pid, &status, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return status;
}

// Ends a child (SIGTERM, SIGKILL after 5 s) and reaps it; nothing for pid <= 0.
inline void endChild(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    if (!awaitCondition([&] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(5))) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

} // namespace ormid::test
