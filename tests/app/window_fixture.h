#pragma once
// The main window on a simulated stick: the fixture of the window tests.
//
// A test describes what is at the USB port (a StickSetup: memory stick, USB stick or
// none, with its memories, faults and plug state), starts the window with arguments,
// and then uses it as a user does: elements by their object name, pressed with the
// mouse, events run until something shows. The stick is the in-process model on a
// virtual clock; the self-restart, the modal dialogs and the waits are the doubles
// of window_doubles.h, so nothing here starts a process or blocks.
//
//   class MyEditorTest : public test::WindowOnStick {};
//
//   TEST_F(MyEditorTest, DefaultFillsTheBlocks)
//   {
//       start(test::memoryStick().withMemory(2, image, "Park"), {"-skipFW"});
//       press("bM2");
//       EXPECT_EQ(image()[0], 0x03);
//   }

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window.h"
#include "app/qt_app.h"
#include "app/window_doubles.h"
#include "link/logging_transport.h"
#include "sim/lost_acknowledgement.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"
#include "sim/virtual_clock.h"

namespace ormid::test {

// What the window finds at its USB port.
struct StickSetup {
    sim::StickConfig config;
    sim::StickState state;
    sim::Faults faults;
    bool pluggedIn = true;
    // The transport between stick and window loses the stick's acknowledgement of
    // this block address (LostAcknowledgement).
    std::optional<std::uint16_t> lostAcknowledgement;
    // Sees every report the stick model takes in and sends out, from the start.
    std::function<void(sim::Direction, ByteSpan)> onReport;
    // A further transport between stick and window, made around the stick's.
    std::function<std::unique_ptr<HidTransport>(HidTransport& inner)> wrap;

    // The same stick, not plugged in at the start.
    StickSetup unplugged() const
    {
        StickSetup copy = *this;
        copy.pluggedIn = false;
        return copy;
    }
    // The same stick with memory n (1..4) holding `image` under `name` (sim::presetMemory).
    StickSetup withMemory(int n, const EeBlock& image, std::string_view name) const
    {
        StickSetup copy = *this;
        EXPECT_EQ(sim::presetMemory(copy.state, n, image, name), "") << "memory " << n;
        return copy;
    }
    // The same stick with a firmware record (sim::presetFirmwareRecord).
    StickSetup withFirmwareRecord(Byte version, std::uint16_t size) const
    {
        StickSetup copy = *this;
        EXPECT_EQ(sim::presetFirmwareRecord(copy.state, version, size), "");
        return copy;
    }
    // The same stick with other faults.
    StickSetup withFaults(const sim::Faults& other) const
    {
        StickSetup copy = *this;
        copy.faults = other;
        return copy;
    }
};

// Nothing at the USB port: demo mode, the default image, an unlocked panel.
inline StickSetup noStick()
{
    return StickSetup{}.unplugged();
}

// A stick in memory mode with four empty memories and no firmware record; `remote`:
// one made remote (the mode query answers so, and the remote signatures apply).
inline StickSetup memoryStick(bool remote = false)
{
    StickSetup setup;
    setup.state.remote = remote;
    return setup;
}

// A stick in USB Stick mode with an Ormid of firmware 1.`deviceFirmware` connected,
// whose memory is `deviceMemory` (all zeros when not given).
inline StickSetup usbStick(Byte deviceFirmware = 77, const std::optional<std::array<Byte, 256>>& deviceMemory = {})
{
    StickSetup setup;
    setup.config.mode = sim::StickMode::usb;
    setup.config.deviceFirmware = deviceFirmware;
    if (deviceMemory)
        setup.state.deviceMemory = *deviceMemory;
    return setup;
}

// One MainWindow over one simulated stick, with the doubles it needs; a new start()
// replaces both. Members a test sets before start(): timing_, position_, and the
// doubles' scripts (dialogs_.answers, dialogs_.fileName, waiter_.onSleep,
// process_.startSucceeds).
class WindowOnStick : public testing::Test {
protected:
    // Every window timer fires at the next event round; the start-up waits take
    // their time from the waiter, on the virtual clock.
    static constexpr WindowTiming kFastTimers{std::chrono::milliseconds(0), std::chrono::milliseconds(0),
                                              std::chrono::milliseconds(0)};
    // Event rounds runUntil takes at most.
    static constexpr int kRounds = 20000;

    void SetUp() override { qtApp(); }
    void TearDown() override
    {
        window_.reset();
        QCoreApplication::processEvents();
    }

    // Builds the window over `stick` with the command-line `arguments`, shows it and
    // runs start-up to its end (a test failure when it does not end).
    void start(const StickSetup& stick, std::vector<std::string> arguments = {})
    {
        launch(stick, std::move(arguments));
        ASSERT_TRUE(runUntil([&] { return window_->startUpFinished(); })) << "start-up did not finish";
    }

    // The same without running start-up: it runs as the test runs events.
    void launch(const StickSetup& stick, std::vector<std::string> arguments = {})
    {
        window_.reset();
        wrapped_.reset();
        lossy_.reset();
        stick_.reset();
        model_.emplace(stick.config, stick.faults, stick.state);
        if (stick.onReport)
            model_->onReport(stick.onReport);
        stick_.emplace(*model_, clock_);
        stick_->setPluggedIn(stick.pluggedIn);
        HidTransport* towardsStick = &*stick_;
        if (stick.lostAcknowledgement) {
            lossy_ = std::make_unique<LostAcknowledgement>(*towardsStick, *stick.lostAcknowledgement);
            towardsStick = lossy_.get();
        }
        if (stick.wrap) {
            wrapped_ = stick.wrap(*towardsStick);
            towardsStick = wrapped_.get();
        }
        traffic_ = {};
        captions_.clear();
        window_ = std::make_unique<MainWindow>(std::make_unique<LoggingTransport>(*towardsStick, traffic_),
                                               std::move(arguments), waiter_, process_, timing_, &dialogs_);
        window_->useCurveFolder(curveFolder_);
        QObject::connect(window_.get(), &QWidget::windowTitleChanged,
                         [this](const QString& title) { captions_.push_back(title); });
        if (position_)
            window_->move(*position_);
        window_->show();
    }

    // Runs the window's events until `done` holds, at most `rounds` rounds; the
    // virtual clock stands still (only the window's own waits move it).
    bool runUntil(const std::function<bool()>& done, int rounds = kRounds)
    {
        for (int i = 0; i < rounds && !done(); ++i)
            QCoreApplication::processEvents();
        return done();
    }
    void runRounds(int rounds)
    {
        runUntil([] { return false; }, rounds);
    }

    // The same with the virtual clock moving on by `step` before every round, as the
    // stick's replies and the link's time-outs need.
    bool runClockUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds step = std::chrono::milliseconds(10), int rounds = 5000)
    {
        for (int i = 0; i < rounds && !done(); ++i) {
            clock_.advance(step.count());
            QCoreApplication::processEvents();
        }
        return done();
    }

    // The element with that object name; a test failure when there is none.
    template <typename T = QWidget>
    T* element(const char* name) const
    {
        return test::element<T>(*window_, name);
    }
    // Whether the element is on screen. An editor panel never opened is not built yet,
    // and so not on screen either.
    bool shown(const char* name) const
    {
        const QWidget* found = window_->findChild<QWidget*>(QString::fromLatin1(name));
        return found != nullptr && found->isVisible();
    }
    // The user clicks the element with the mouse (it must be on screen and enabled).
    void press(const char* name) { test::press(*window_, name); }
    // The user presses `key` on the element, `times` times (sliders and range selectors
    // move from the keyboard).
    void keys(const char* name, Qt::Key key, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(element(name), key);
    }
    // A memory stick (`remote`: a remote one) whose M1 holds `memory`; M1 is chosen and
    // the panel is ready for editing.
    void editMemory(const EeBlock& memory, bool remote = false)
    {
        start(memoryStick(remote).withMemory(1, memory, "Lamp"), {"-skipFW"});
        press("bM1");
        ASSERT_FALSE(window_->runState().formDisabled);
    }

    QString caption() const { return window_->windowTitle(); }
    const EeBlock& image() const { return window_->eeBlock(); }
    const RunState& run() const { return window_->runState(); }
    bool presenceWatchRunning() const { return window_->findChild<QTimer*>(QStringLiteral("Timer2"))->isActive(); }

    // For the next start.
    WindowTiming timing_ = kFastTimers;
    std::optional<QPoint> position_; // where the window appears; Qt's choice when empty
    // The dimming-curve folder; none unless a test names one, so that the sample curves
    // beside the test programs change no other test.
    std::filesystem::path curveFolder_;

    sim::VirtualClock clock_;
    std::optional<sim::StickModel> model_;
    std::optional<sim::SimTransport> stick_; // the stick at the USB port, to pull out and plug in
    std::unique_ptr<HidTransport> lossy_;
    std::unique_ptr<HidTransport> wrapped_;
    TrafficLog traffic_;            // what the window sent since its start
    std::vector<QString> captions_; // every caption the window showed since its start
    RecordingProcess process_;
    WindowWaiter waiter_{clock_};
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace ormid::test
