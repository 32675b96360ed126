// A stick pulled out or plugged in restarts the program; changes the window holds and
// nothing else does are saved or given up by the user first. In process against the
// simulated stick, with scripted dialogs.

#include <gtest/gtest.h>

#include <QLineEdit>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/user_dialogs.h"
#include "app/window_fixture.h"
#include "core/encodings.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;
using SaveChoice = UserDialogs::SaveChoice;

const QString kPulled = QStringLiteral("The stick was pulled out; save your configuration or plug the stick in again");
const std::vector<std::string> kRestart{"release", "start", "quit"};

class UnsavedChangesTest : public test::WindowOnStick {
protected:
    // A change only the window holds: ISD switched off with a click on its switch.
    void switchIsdOff()
    {
        press("SW_astro_close");
        ASSERT_FALSE(TestBit(image()[field::outputByte], bit::isdEnable));
    }
    void pullStick() { stick_->setPluggedIn(false); }
    bool restarted() const { return !process_.calls.empty(); }
    std::string info() const { return element<QLineEdit>("eInfo")->text().toStdString(); }
    void saveTo(const fs::path& file) { dialogs_.fileName = QString::fromStdString(file.string()); }

    test::TempFolder folder_{"ormid-unsaved"};
    const fs::path file_ = folder_ / "unsaved.kdc";
};

TEST_F(UnsavedChangesTest, WithNothingUnsavedAPulledStickRestartsAtOnce)
{
    const struct {
        const char* name;
        std::function<void()> beforePull;
    } cases[] = {
        {"nothing edited", [] {}},
        {"edited, then saved",
         [this] {
             switchIsdOff();
             saveTo(file_);
             press("bSave");
         }},
        {"edited and edited back",
         [this] {
             switchIsdOff();
             press("sw_astro_open");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        process_ = {};
        dialogs_ = {};
        editMemory(makeDefaultImage());
        c.beforePull();
        pullStick();
        ASSERT_TRUE(runUntil([&] { return restarted(); }));
        EXPECT_EQ(process_.calls, kRestart);
        EXPECT_TRUE(dialogs_.questions.empty());
    }
}

TEST_F(UnsavedChangesTest, APulledStickAsksBeforeUnsavedChangesGo)
{
    const struct {
        const char* name;
        SaveChoice choice;
        bool restarts;
    } cases[] = {
        {"Save…", SaveChoice::save, true},
        {"Discard", SaveChoice::discard, true},
        {"Cancel", SaveChoice::keepEditing, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        process_ = {};
        dialogs_ = {};
        fs::remove(file_);
        editMemory(makeDefaultImage());
        switchIsdOff();
        const EeBlock edited = image();
        dialogs_.saveChoices = {c.choice};
        saveTo(file_);
        QString captionWhileAsked;
        dialogs_.onQuestion = [&] { captionWhileAsked = caption(); };
        pullStick();
        ASSERT_TRUE(runUntil([&] { return !dialogs_.questions.empty(); }));
        runRounds(50); // the watch goes on meanwhile

        ASSERT_EQ(dialogs_.questions.size(), 1u) << "asked once";
        EXPECT_TRUE(dialogs_.questions.front().contains("saved nowhere else"));
        EXPECT_EQ(captionWhileAsked, kPulled);
        EXPECT_EQ(restarted(), c.restarts);
        EXPECT_EQ(fs::exists(file_), c.choice == SaveChoice::save);
        if (c.choice == SaveChoice::save) {
            EXPECT_EQ(readWholeFile(file_).bytes, saveConfiguration(edited, info()));
        }
        if (c.restarts)
            continue;
        EXPECT_EQ(image(), edited);
        EXPECT_EQ(caption(), kPulled);
        EXPECT_FALSE(run().formDisabled);
        // Saved later with the button: the restart follows.
        press("bSave");
        EXPECT_EQ(readWholeFile(file_).bytes, saveConfiguration(edited, info()));
        ASSERT_TRUE(runUntil([&] { return restarted(); }));
        EXPECT_EQ(process_.calls, kRestart);
    }
}

// Save… whose file dialog is cancelled saved nothing: the window stays.
TEST_F(UnsavedChangesTest, ACancelledSaveKeepsTheWindow)
{
    editMemory(makeDefaultImage());
    switchIsdOff();
    dialogs_.saveChoices = {SaveChoice::save};
    dialogs_.fileName.reset();
    pullStick();
    ASSERT_TRUE(runUntil([&] { return !dialogs_.questions.empty(); }));
    runRounds(50);
    EXPECT_FALSE(restarted());
    EXPECT_EQ(caption(), kPulled);
}

// Kept editing, then the stick comes back: the window goes on as before the pull, and a
// later pull asks again.
TEST_F(UnsavedChangesTest, TheStickPluggedBackInAfterCancelLeavesTheWindowAsItWas)
{
    editMemory(makeDefaultImage());
    const QString before = caption();
    switchIsdOff();
    const EeBlock edited = image();
    pullStick();
    ASSERT_TRUE(runUntil([&] { return !dialogs_.questions.empty(); }));
    stick_->setPluggedIn(true);
    ASSERT_TRUE(runUntil([&] { return caption() == before; }));
    runRounds(50);
    EXPECT_FALSE(restarted());
    EXPECT_EQ(image(), edited);
    EXPECT_TRUE(presenceWatchRunning());

    pullStick();
    ASSERT_TRUE(runUntil([&] { return dialogs_.questions.size() == 2; }));
    EXPECT_FALSE(restarted());
}

// An open editor panel holds changes that are not in the image yet: nothing restarts
// while it is open, and its Cancel leaves nothing to save.
TEST_F(UnsavedChangesTest, AnOpenEditorPanelHoldsTheRestartUntilItCloses)
{
    editMemory(makeDefaultImage());
    press("iISD_en");
    ASSERT_TRUE(shown("bISDCancel"));
    pullStick();
    runRounds(100);
    EXPECT_FALSE(restarted());
    EXPECT_TRUE(dialogs_.questions.empty());
    press("bISDCancel");
    ASSERT_TRUE(runUntil([&] { return restarted(); }));
    EXPECT_TRUE(dialogs_.questions.empty());
}

// The stick pulled out while Transfer writes a memory: the write fails, and the window
// keeps the configuration even unedited, because the memory may now hold part of it.
TEST_F(UnsavedChangesTest, AStickPulledDuringAMemoryTransferLeavesTheConfigurationToSave)
{
    bool pullOnNextReport = false;
    test::StickSetup setup = test::memoryStick().withMemory(1, makeDefaultImage(), "Lamp");
    setup.onReport = [&](sim::Direction direction, ByteSpan) {
        if (direction == sim::Direction::in && std::exchange(pullOnNextReport, false))
            pullStick();
    };
    start(setup, {"-skipFW"});
    press("bM1");
    const EeBlock chosen = image();
    pullOnNextReport = true;
    press("bMemStore");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages.front().startsWith("Firmware Write Error!"));
    ASSERT_TRUE(runUntil([&] { return !dialogs_.questions.empty(); }));
    runRounds(50);
    EXPECT_FALSE(restarted());
    EXPECT_EQ(caption(), kPulled);
    EXPECT_EQ(image(), chosen);
    EXPECT_TRUE(shown("bSave"));
    saveTo(file_);
    press("bSave");
    EXPECT_EQ(readWholeFile(file_).bytes, saveConfiguration(chosen, info()));
    ASSERT_TRUE(runUntil([&] { return restarted(); }));
}

} // namespace
} // namespace ormid
