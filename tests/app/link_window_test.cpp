// The USB Stick mode link in the window: start-up reads the connected device,
// Transfer writes it back, the version question, the "Log" group and the debug
// memo. In process against the simulated stick on a virtual clock, with scripted
// dialogs.

#include "app/link_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "app/user_dialogs.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using test::RecordingProcess;
using test::ScriptedDialogs;
using test::VirtualWaiter;

using namespace std::chrono_literals;

// The default settings, then further memory the engine carries unchanged, then the
// operation counters: 0x012345 min, 0x0102 switchings, 3 x 15 min over temperature, 85 °C.
std::array<Byte, 256> deviceMemory()
{
    std::array<Byte, 256> memory{};
    const EeBlock defaults = makeDefaultImage();
    std::copy(defaults.begin(), defaults.end(), memory.begin());
    for (std::size_t i = defaults.size(); i < memory.size(); ++i)
        memory[i] = static_cast<Byte>(i);
    const Byte counters[] = {0x45, 0x23, 0x01, 0x02, 0x01, 0x03, 0x00, 85};
    std::copy(std::begin(counters), std::end(counters), memory.begin() + 247);
    return memory;
}

class LinkWindowTest : public testing::Test {
protected:
    void SetUp() override { test::qtApp(); }
    void TearDown() override
    {
        window_.reset();
        QCoreApplication::processEvents();
    }

    // Starts in USB Stick mode with a device of firmware `deviceFirmware` and runs
    // until its memory has been read.
    void startAndRead(Byte deviceFirmware, std::vector<std::string> arguments = {},
                      const std::function<void()>& beforeRead = {})
    {
        sim::StickConfig config;
        config.mode = sim::StickMode::usb;
        config.deviceFirmware = deviceFirmware;
        sim::Faults faults;
        sim::StickState state;
        state.deviceMemory = deviceMemory();
        model_.emplace(config, faults, state);
        window_ = std::make_unique<MainWindow>(std::make_unique<sim::SimTransport>(*model_, clock_),
                                               std::move(arguments), waiter_, process_, WindowTiming{0ms, 0ms, 0ms},
                                               &dialogs_);
        window_->show();
        ASSERT_TRUE(run([&] { return window_->startUpFinished(); }));
        ASSERT_NE(window_->link(), nullptr);
        EXPECT_EQ(window_->link()->engine().stickState(), LinkEngine::kWaiting);
        if (beforeRead)
            beforeRead();
        ASSERT_TRUE(run([&] { return window_->link()->engine().imageRead(); }));
    }

    // Window events with the virtual clock moving on, until `done`.
    bool run(const std::function<bool()>& done)
    {
        for (int i = 0; i < 5000 && !done(); ++i) {
            clock_.advance(10);
            QCoreApplication::processEvents();
        }
        return done();
    }

    template <typename T = QWidget>
    T* element(const char* name) const
    {
        return test::element<T>(*window_, name);
    }
    QString caption() const { return window_->windowTitle(); }

    sim::VirtualClock clock_;
    std::optional<sim::StickModel> model_;
    RecordingProcess process_;
    VirtualWaiter waiter_{clock_};
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(LinkWindowTest, StartUpReadsTheDeviceIntoTheImage)
{
    startAndRead(77);

    EXPECT_EQ(caption(), "USB Stick, Device Nr. 12345678, FW 1.77            Ready...");
    const std::array<Byte, 256> expected = deviceMemory();
    EXPECT_EQ(window_->eeBlock(), EeBlock(expected.begin(), expected.end()));
    EXPECT_TRUE(dialogs_.questions.empty()) << "the device runs the built-in version";
    EXPECT_FALSE(window_->runState().formDisabled);
    EXPECT_TRUE(element("bReread")->isVisible());
    EXPECT_TRUE(element("bUpdateFw")->isVisible());
    EXPECT_FALSE(element("gbLog")->isVisible()) << "without -showLog";
}

TEST_F(LinkWindowTest, TransferWritesTheDeviceAndLeavesTheWindowUsable)
{
    startAndRead(77);
    dialogs_.answers = {UserDialogs::Answer::yes, UserDialogs::Answer::yes};
    element<QAbstractButton>("bMemClear")->click(); // the default settings, FF beyond them
    const EeBlock written = window_->eeBlock();
    ASSERT_NE(written[200], deviceMemory()[200]);

    element<QAbstractButton>("bMemStore")->click();
    EXPECT_FALSE(window_->runState().formDisabled) << "usable while the frames go out";
    EXPECT_EQ(window_->link()->engine().stickState(), LinkEngine::kWriting);
    ASSERT_TRUE(run([&] { return caption().endsWith("->Transfer finished."); }));

    const auto& device = model_->state().deviceMemory;
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 250, device.begin()));
    EXPECT_EQ(device[250], deviceMemory()[250]) << "bytes past 249 are not written";
    EXPECT_FALSE(window_->runState().formDisabled);
}

TEST_F(LinkWindowTest, DifferentDeviceFirmwareAsksAndNoLeavesItAlone)
{
    dialogs_.answers = {UserDialogs::Answer::no};
    startAndRead(71);

    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_EQ(dialogs_.warningPositions, std::vector<QPoint>{QPoint(400, 350)});
    EXPECT_EQ(dialogs_.questions.front().toStdString(),
              LinkEngine::versionQuestion(71, window_->firmware().embeddedFwVersion));
    EXPECT_TRUE(dialogs_.questions.front().contains("(1.71)"));
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 12345678, FW 1.71            Ready...");
    run([] { return false; }); // give a started update every chance to show
    EXPECT_EQ(window_->link()->engine().stickState(), LinkEngine::kRead);
    EXPECT_FALSE(element("pbFWUpdate")->isVisible());
    EXPECT_TRUE(model_->state().receivedFirmware.empty());
    EXPECT_EQ(model_->state().deviceFirmware, 71);
}

TEST_F(LinkWindowTest, LogGroupShowsTheCountersOnlyWithShowLogFromVersion72)
{
    const struct {
        const char* name;
        Byte firmware;
        std::vector<std::string> arguments;
        bool shown;
    } cases[] = {
        {"-showLog, FW 72", 72, {"-showLog", "-skipFW"}, true},
        {"-showLog, FW 71", 71, {"-showLog", "-skipFW"}, false},
        {"FW 72 without -showLog", 72, {"-skipFW"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startAndRead(c.firmware, c.arguments);
        EXPECT_EQ(element("gbLog")->isVisible(), c.shown);
        if (c.shown) {
            EXPECT_EQ(element<QLabel>("lOp")->text(), "74565 min");
            EXPECT_EQ(element<QLabel>("lSwCnt")->text(), "258");
            EXPECT_EQ(element<QLabel>("lOverT")->text(), "45 min");
            EXPECT_EQ(element<QLabel>("lMaxT")->text(), QStringLiteral("85 °C"));
        }
        window_.reset();
    }
}

TEST_F(LinkWindowTest, DebugLinesOnlyWithDebugTickedAndNotStopped)
{
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        bool ticked;
        bool stopped;
        bool logged;
    } cases[] = {
        {"-debug, Debug ticked", {"-debug"}, true, false, true},
        {"-debug, Debug not ticked", {"-debug"}, false, false, false},
        {"-debug, Debug ticked, Stop ticked", {"-debug"}, true, true, false},
        {"Debug ticked without -debug", {}, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startAndRead(77, c.arguments, [&] {
            element<QAbstractButton>("cbStickDebug")->setChecked(c.ticked);
            element<QAbstractButton>("cbDebugHold")->setChecked(c.stopped);
        });
        EXPECT_EQ(element("pDebug")->isVisible(), c.ticked);
        const QString memo = element<QPlainTextEdit>("mDebug")->toPlainText();
        EXPECT_EQ(memo.contains("------------------ Memory dump --------------------"), c.logged);
        EXPECT_EQ(memo.contains("Send: "), c.logged);
        window_.reset();
    }
}

} // namespace
} // namespace ormid
