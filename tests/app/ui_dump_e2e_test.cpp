// The programmer driven as a script drives it: a virtual X display, the stick
// simulator with a configuration in M2, the programmer writing its snapshots
// (ORMID_UI_DUMP); the snapshot says where M2 is, xdotool clicks there with the real
// pointer, SIGUSR1 asks for the snapshot that shows the result.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/child_process.h"
#include "core/image.h"
#include "files/atomic_file.h"
#include "files/config_file.h"

namespace ormid {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// What Xvfb writes to its -displayfd descriptor once it takes clients: the display
// number and a newline. Empty when it ends or stays silent.
std::string readDisplayNumber(int fd)
{
    std::string number;
    char next = 0;
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, 60'000) == 1 && ::read(fd, &next, 1) == 1 && next != '\n')
        number += next;
    return next == '\n' ? number : std::string();
}

std::optional<QJsonObject> entryNamed(const QJsonObject& snapshot, const QString& name)
{
    for (const QJsonValue& widget : snapshot[QStringLiteral("widgets")].toArray()) {
        if (widget[QStringLiteral("name")].toString() == name)
            return widget.toObject();
    }
    return std::nullopt;
}

bool shown(const QJsonObject& snapshot, const char* name)
{
    const std::optional<QJsonObject> entry = entryNamed(snapshot, QString::fromLatin1(name));
    return entry && (*entry)[QStringLiteral("visible")].toBool();
}

class UiDumpEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ormid-ui-dump-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::chmod(folder_.c_str(), 0700);
    }
    void TearDown() override
    {
        test::endChild(programmer_);
        test::endChild(simulator_);
        test::endChild(xServer_);
        fs::remove_all(folder_);
    }

    // Xvfb on a display no one uses; its name (":N") in display_.
    void startDisplay()
    {
        int ends[2];
        ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        xServer_ = test::spawnProcess("Xvfb", {"-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                                      {}, folder_ / "output", ends[1]);
        ::close(ends[1]);
        const std::string number = xServer_ > 0 ? readDisplayNumber(ends[0]) : std::string();
        ::close(ends[0]);
        ASSERT_GT(xServer_, 0) << "Xvfb is missing (scripts/install-deps installs it)";
        ASSERT_FALSE(number.empty()) << "Xvfb did not start\n" << output();
        display_ = ":" + number;
    }

    std::optional<QJsonObject> readSnapshot() const
    {
        const FileReadResult read = readWholeFile(snapshotFile());
        if (!read.ok())
            return std::nullopt;
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(read.bytes));
        return document.isObject() ? std::optional(document.object()) : std::nullopt;
    }

    // Asks the programmer for snapshots until one satisfies `wanted` or a minute has
    // passed; the last one it wrote. The signal may overtake X input still on its way.
    std::optional<QJsonObject> snapshotWhen(const std::function<bool(const QJsonObject&)>& wanted)
    {
        std::optional<QJsonObject> snapshot;
        test::awaitCondition([&] {
            fs::remove(snapshotFile());
            ::kill(programmer_, SIGUSR1);
            if (test::awaitCondition([&] { return fs::exists(snapshotFile()); }, 10s))
                snapshot = readSnapshot();
            return snapshot && wanted(*snapshot);
        });
        return snapshot;
    }

    // ormid-stick-sim serving `socket` with `options`; true once the socket is there.
    bool startSimulator(const fs::path& socket, std::vector<std::string> options)
    {
        options.insert(options.begin(), {"--socket", socket.string()});
        simulator_ = test::spawnProcess(test::kBinDir + "/ormid-stick-sim", std::move(options), {}, folder_ / "output");
        return simulator_ > 0 && test::awaitCondition([&] { return fs::is_socket(socket); });
    }

    // The programmer on the virtual display over the stick at `socket`; true once it has
    // written its first snapshot, from when on it takes SIGUSR1. The instance guard's lock
    // goes to the test's own folder, apart from any other programmer.
    bool startProgrammer(const fs::path& socket)
    {
        programmer_ = test::spawnProcess(test::kBinDir + "/ormid-programmer", {"-skipFW"},
                                         {
                                             {"DISPLAY", display_},
                                             {"QT_QPA_PLATFORM", "xcb"},
                                             {"ORMID_HID_BRIDGE", socket.string()},
                                             {"ORMID_UI_DUMP", snapshotFile().string()},
                                             {"TMPDIR", folder_.string()},
                                             {"XDG_RUNTIME_DIR", folder_.string()},
                                         },
                                         folder_ / "output");
        return programmer_ > 0 && test::awaitCondition([&] { return readSnapshot().has_value(); });
    }

    // A real click in the middle of the element the snapshot names; true when it went out.
    bool clickOn(const QJsonObject& snapshot, const char* name)
    {
        const std::optional<QJsonObject> entry = entryNamed(snapshot, QString::fromLatin1(name));
        if (!entry)
            return false;
        const int x = (*entry)["x"].toInt() + (*entry)["width"].toInt() / 2;
        const int y = (*entry)["y"].toInt() + (*entry)["height"].toInt() / 2;
        return xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    }

    // xdotool on the virtual display; true when it succeeded.
    bool xdotool(std::vector<std::string> arguments)
    {
        const pid_t pid
            = test::spawnProcess("xdotool", std::move(arguments), {{"DISPLAY", display_}}, folder_ / "output");
        if (pid <= 0)
            return false;
        const int status = test::awaitExit(pid);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    fs::path snapshotFile() const { return folder_ / "ui.json"; }
    std::string output() const { return readWholeFile(folder_ / "output").bytes; }

    fs::path folder_;
    std::string display_;
    pid_t xServer_ = -1;
    pid_t simulator_ = -1;
    pid_t programmer_ = -1;
};

TEST_F(UiDumpEndToEnd, ScriptChoosesAMemoryWithARealClick)
{
    startDisplay();
    if (HasFatalFailure())
        return;

    const fs::path configuration = folder_ / "corner.kdc";
    ASSERT_TRUE(writeFileAtomically(configuration, saveConfiguration(makeDefaultImage(), "Corner")).ok());
    const fs::path socket = folder_ / "stick.sock";
    ASSERT_TRUE(startSimulator(socket, {"--mode", "memory", "--preset", "M2=" + configuration.string() + ":Corner"}))
        << output();
    ASSERT_TRUE(startProgrammer(socket)) << "no snapshot after start-up\n" << output();
    const QJsonObject started = *readSnapshot();
    ASSERT_EQ(started["caption"].toString(), "Ormid") << output();
    EXPECT_EQ(started["formDisabled"], QJsonValue(true)) << "nothing to edit before a memory is chosen";
    const std::optional<QJsonObject> m2 = entryNamed(started, QStringLiteral("bM2"));
    ASSERT_TRUE(m2 && (*m2)["visible"].toBool() && (*m2)["enabled"].toBool());

    ASSERT_TRUE(clickOn(started, "bM2")) << output();

    const std::optional<QJsonObject> chosen
        = snapshotWhen([](const QJsonObject& snapshot) { return !shown(snapshot, "bM1"); });
    ASSERT_TRUE(chosen) << output();
    EXPECT_TRUE(shown(*chosen, "bM2"));
    for (const char* other : {"bM1", "bM3", "bM4"})
        EXPECT_FALSE(shown(*chosen, other)) << other;
    EXPECT_TRUE(shown(*chosen, "bMemStore"));
    EXPECT_EQ((*chosen)["formDisabled"], QJsonValue(false));
    const std::optional<QJsonObject> info = entryNamed(*chosen, QStringLiteral("eInfo"));
    ASSERT_TRUE(info);
    EXPECT_EQ((*info)["text"].toString(), "Corner  ") << "the stick keeps a name as 8 characters";
}

// The stick's process ends while "Transfer" writes the device in USB Stick mode: the
// window keeps the edit, says the stick was pulled out and asks before any restart.
TEST_F(UiDumpEndToEnd, AStickKilledDuringAUsbTransferLeavesTheEditInTheWindow)
{
    startDisplay();
    if (HasFatalFailure())
        return;
    const fs::path socket = folder_ / "stick.sock";
    ASSERT_TRUE(startSimulator(socket, {"--mode", "usb", "--reply-delay", "100"})) << output();
    ASSERT_TRUE(startProgrammer(socket)) << output();
    const std::optional<QJsonObject> ready = snapshotWhen([](const QJsonObject& snapshot) {
        return snapshot["caption"].toString().endsWith("Ready...") && shown(snapshot, "rc_off");
    });
    ASSERT_TRUE(ready && shown(*ready, "rc_off")) << output();

    ASSERT_TRUE(clickOn(*ready, "rc_off")) << output(); // the remote input on, over the mains
    const std::optional<QJsonObject> edited
        = snapshotWhen([](const QJsonObject& snapshot) { return shown(snapshot, "rc_main"); });
    ASSERT_TRUE(edited && shown(*edited, "rc_main")) << output();
    const QString editedImage = (*edited)["image"].toString();
    ASSERT_NE(editedImage, (*ready)["image"].toString());

    ASSERT_TRUE(clickOn(*edited, "bMemStore")) << output();
    ASSERT_TRUE(snapshotWhen([](const QJsonObject& snapshot) {
        return snapshot["caption"].toString().contains("->Transfer ");
    })) << output();
    ::kill(simulator_, SIGKILL);
    ::waitpid(std::exchange(simulator_, -1), nullptr, 0);

    const std::optional<QJsonObject> pulled = snapshotWhen([](const QJsonObject& snapshot) {
        return snapshot["caption"].toString().startsWith("The stick was pulled out");
    });
    ASSERT_TRUE(pulled) << output();
    EXPECT_EQ((*pulled)["caption"].toString(),
              "The stick was pulled out; save your configuration or plug the stick in again");
    EXPECT_EQ((*pulled)["image"].toString(), editedImage);
    EXPECT_TRUE(QJsonDocument(*pulled).toJson().contains("saved nowhere else")) << "the question is up";

    // Cancel: the window stays with the edit.
    ASSERT_TRUE(xdotool({"key", "Escape"})) << output();
    const std::optional<QJsonObject> kept = snapshotWhen(
        [](const QJsonObject& snapshot) { return !QJsonDocument(snapshot).toJson().contains("saved nowhere else"); });
    ASSERT_TRUE(kept) << output();
    EXPECT_EQ((*kept)["image"].toString(), editedImage);
    EXPECT_EQ((*kept)["formDisabled"], QJsonValue(false));
    EXPECT_EQ(::waitpid(programmer_, nullptr, WNOHANG), 0) << "the programmer still runs";
}

} // namespace
} // namespace ormid
