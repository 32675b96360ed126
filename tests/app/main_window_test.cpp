// The main window's start-up, presence watch and self-restart, in process against
// the simulated stick on a virtual clock (the end-to-end runs with ormid-programmer
// against ormid-stick-sim are in programmer_e2e_test.cpp).

#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGuiApplication>

#include <chrono>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "link/control_block.h"
#include "link/stick_frames.h"
#include "sim/presets.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using test::StickSetup;
using test::usbStick;

using namespace std::chrono_literals;
using Bytes = std::vector<Byte>;

const QString kNoAnswerCaption = QStringLiteral("No answer from the stick - unplug it and plug it in again");

Bytes bytesOf(const MemoryCommand& command)
{
    return Bytes(command.begin(), command.end());
}

// A stick with "Street" in M2 and a firmware record of 1.77.
StickSetup streetStick(bool remote)
{
    return test::memoryStick(remote).withMemory(2, makeDefaultImage(), "Street").withFirmwareRecord(77, 5704);
}

StickSetup legacyStick()
{
    StickSetup setup = streetStick(false);
    setup.config.legacy = true;
    return setup;
}

// A stick that answers nothing in time: no mode answer, no control block.
StickSetup silentStick()
{
    StickSetup setup = streetStick(false);
    setup.faults.replyDelay = 24 * 60 * 60 * 1000;
    return setup;
}

class MainWindowTest : public test::WindowOnStick {
protected:
    // The link keeps its own pace: these tests look at start-up, not at the link.
    MainWindowTest() { timing_ = WindowTiming{0ms, 0ms}; }

    QString text(const char* name) const
    {
        auto* button = qobject_cast<QAbstractButton*>(element(name));
        return button != nullptr ? button->text() : QString();
    }

    static constexpr const char* kMemoryButtons[] = {"bM1", "bM2", "bM3", "bM4"};
};

TEST_F(MainWindowTest, MemoryModeFollowsTheModeQueryAnswer)
{
    const struct {
        const char* name;
        StickSetup stick;
        bool answered;
        bool remote;
        const char* eraseCaption; // nullptr: the Erase button stays hidden
        int polls;                // mode-query polls before the control-block request
    } cases[] = {
        {"remote C0 22 5A 79 A5", streetStick(true), true, true, "Go2Loc", 1},
        {"local C0 22 5A 00 00", streetStick(false), true, false, "Go2Rem", 1},
        {"no answer", legacyStick(), false, false, nullptr, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        traffic_ = {};
        start(c.stick);

        // The mode query, the control block, then the data block of the one used memory, M2.
        ASSERT_EQ(traffic_.written.size(), 3u);
        EXPECT_EQ(traffic_.written[0], bytesOf(modeQueryCommand()));
        EXPECT_EQ(traffic_.written[1], bytesOf(readBlockCommand(kControlBlockAddress)));
        EXPECT_EQ(traffic_.written[2], bytesOf(readBlockCommand(dataBlockAddress(2))));
        EXPECT_EQ(traffic_.readsBefore[1], c.polls);

        ASSERT_FALSE(captions_.empty());
        EXPECT_EQ(captions_.front(), "Loading");
        EXPECT_EQ(captions_.back(), "Ormid");
        EXPECT_EQ(run().modeQueryAnswered, c.answered);
        EXPECT_EQ(run().remoteMode, c.remote);
        EXPECT_EQ(run().modeButtonShown, c.eraseCaption != nullptr);
        EXPECT_EQ(shown("bErase"), c.eraseCaption != nullptr);
        if (c.eraseCaption != nullptr) {
            EXPECT_EQ(text("bErase"), c.eraseCaption);
        }
        // The remote layout sets skipFW and offers the Tx boxes.
        EXPECT_EQ(run().skipFirmwareCheck(), c.remote);
        EXPECT_EQ(shown("cbTxPOL"), c.remote);

        EXPECT_TRUE(run().stickFound());
        EXPECT_FALSE(run().demo());
        EXPECT_FALSE(run().usbStick());
        EXPECT_TRUE(run().formDisabled) << "the panel stays locked until a memory is chosen";
        for (const char* name : kMemoryButtons) {
            EXPECT_TRUE(shown(name)) << name;
            EXPECT_TRUE(element(name)->isEnabled()) << name;
        }
        EXPECT_EQ(window_->controlBlock(), sim::readStickBlock(c.stick.state, kControlBlockAddress));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(presenceWatchRunning());
        EXPECT_TRUE(process_.calls.empty());
    }
}

TEST_F(MainWindowTest, UsbStickModeUnlocksThePanelAndShowsDebugOnlyWhenAsked)
{
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug ? "-debug" : "no arguments");
        start(usbStick(), debug ? std::vector<std::string>{"-debug"} : std::vector<std::string>{});

        ASSERT_FALSE(captions_.empty());
        EXPECT_EQ(captions_.front(), "Loading");
        EXPECT_EQ(captions_.back(), "USB Stick");
        EXPECT_TRUE(run().usbStick());
        EXPECT_FALSE(run().demo());
        EXPECT_FALSE(run().formDisabled);
        EXPECT_FALSE(shown("bErase")) << "a stick in USB Stick mode does not answer the mode query";
        for (const char* name : kMemoryButtons)
            EXPECT_FALSE(shown(name)) << name;
        EXPECT_EQ(shown("cbStickDebug"), debug);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

TEST_F(MainWindowTest, DemoModeShowsTheDefaultImageAfterItsPause)
{
    struct Seen {
        QString caption;
        bool loadShown;
        EeBlock image;
    };
    std::vector<Seen> duringPause;
    waiter_.onSleep = [&] { duringPause.push_back({window_->windowTitle(), shown("bLoad"), window_->eeBlock()}); };

    start(streetStick(false).unplugged());

    ASSERT_FALSE(duringPause.empty());
    for (const Seen& seen : duringPause) {
        EXPECT_EQ(seen.caption, "Demo Mode");
        EXPECT_FALSE(seen.loadShown);
        EXPECT_EQ(seen.image, EeBlock(kImageSize, 0)) << "the default image appears after the pause";
    }
    EXPECT_EQ(captions_, std::vector<QString>{"Demo Mode"});
    EXPECT_EQ(window_->eeBlock(), makeDefaultImage());
    for (const char* name : {"bLoad", "bSave", "bPdf"})
        EXPECT_TRUE(shown(name)) << name;
    for (const char* name : kMemoryButtons)
        EXPECT_FALSE(shown(name)) << name;
    EXPECT_TRUE(run().demo());
    EXPECT_FALSE(run().stickFound());
    EXPECT_FALSE(run().formDisabled);
    EXPECT_TRUE(traffic_.written.empty()) << "nothing is sent without a stick";
}

// The panel has one size: the window cannot be enlarged into blank space.
TEST_F(MainWindowTest, TheWindowKeepsThePanelSize)
{
    start(streetStick(false).unplugged());
    const QSize panel = element("pLogo")->parentWidget()->size();
    window_->resize(panel.width() + 300, panel.height() + 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(window_->size(), panel);
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
}

TEST_F(MainWindowTest, ControlBlockTimeOutLocksTheMemoriesAndWaitsForAReplug)
{
    start(silentStick(), {"-skipFW"});

    // One "." before every tenth of the 101 collector cycles, then the time-out.
    std::vector<QString> expected = {"Loading"};
    for (int dots = 1; dots <= 11; ++dots)
        expected.push_back("Loading" + QString(dots, '.'));
    expected.push_back(kNoAnswerCaption);
    EXPECT_EQ(captions_, expected);

    EXPECT_EQ(window_->windowTitle(), kNoAnswerCaption);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(run().formDisabled);
    for (const char* name : kMemoryButtons) {
        EXPECT_TRUE(shown(name)) << name;
        EXPECT_FALSE(element(name)->isEnabled()) << name << " must not offer a memory that was never read";
    }

    // Pulling the stick out restarts the program, which reads the stick afresh.
    stick_->setPluggedIn(false);
    ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
    EXPECT_EQ(process_.startedWith, QStringList{"-skipFW"});
}

TEST_F(MainWindowTest, PresenceChangeRestartsWithTheRestartArguments)
{
    const struct {
        const char* name;
        bool pluggedAtStart;
    } cases[] = {
        {"stick pulled out in memory mode", true},
        {"stick plugged in in demo mode", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        process_ = {};
        const StickSetup stick = streetStick(false);
        start(c.pluggedAtStart ? stick : stick.unplugged(), {"-skipFW", "-dc=3", "-debug"});

        runRounds(50);
        EXPECT_TRUE(process_.calls.empty()) << "no restart while the stick stays as it was";

        stick_->setPluggedIn(!c.pluggedAtStart);
        ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
        runRounds(50);
        EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
        EXPECT_EQ(process_.startedWith, (QStringList{"-skipFW", "-debug"}));
    }
}

TEST_F(MainWindowTest, FailedRestartSaysSoAndDoesNotRetryForever)
{
    process_.startSucceeds = false;
    start(streetStick(false));
    stick_->setPluggedIn(false);
    ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
    runRounds(50);

    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start"}));
    EXPECT_EQ(window_->windowTitle(), "Restart failed - please start the program again");
    EXPECT_FALSE(presenceWatchRunning());
}

TEST_F(MainWindowTest, ClosingDuringTheDemoPauseEndsStartUp)
{
    int sleeps = 0;
    waiter_.onSleep = [&] {
        if (++sleeps == 1)
            window_->close();
    };
    launch(test::noStick());
    runRounds(200);

    EXPECT_EQ(sleeps, 1);
    EXPECT_FALSE(window_->startUpFinished());
    EXPECT_FALSE(presenceWatchRunning());
    EXPECT_TRUE(process_.calls.empty());
}

} // namespace
} // namespace ormid
