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
#include <QProgressBar>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/main_window.h"
#include "app/user_dialogs.h"
#include "app/window_fixture.h"
#include "core/text_lines.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

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

class LinkWindowTest : public test::WindowOnStick {
protected:
    // Starts in USB Stick mode with a device of firmware `deviceFirmware` and runs
    // start-up; `beforeRead` looks at the window before the device has been read.
    void startWindow(Byte deviceFirmware, std::vector<std::string> arguments = {},
                     const std::function<void()>& beforeRead = {})
    {
        test::StickSetup stick = test::usbStick(deviceFirmware, deviceMemory_).withFaults(faults_);
        stick.config.firmwareAfterUpdate = firmwareAfterUpdate_;
        stick.onReport = [this](sim::Direction direction, ByteSpan report) {
            if (direction == sim::Direction::in && report.size() > 2 && report[2] == 0x04 && startOfWrite_ < 0)
                startOfWrite_ = clock_.now();
        };
        launch(stick, std::move(arguments));
        ASSERT_TRUE(runClockUntil([&] { return window_->startUpFinished(); }));
        ASSERT_NE(window_->link(), nullptr);
        EXPECT_TRUE(window_->link()->engine().isWaitingForDevice());
        if (beforeRead)
            beforeRead();
    }
    void startAndRead(Byte deviceFirmware, std::vector<std::string> arguments = {},
                      const std::function<void()>& beforeRead = {})
    {
        startWindow(deviceFirmware, std::move(arguments), beforeRead);
        ASSERT_TRUE(runClockUntil([&] { return window_->link()->engine().imageRead(); }));
    }

    // Runs the clock until `done`, keeping every caption shown meanwhile, in order.
    std::vector<QString> captionsUntil(const std::function<bool()>& done)
    {
        std::vector<QString> captions;
        runClockUntil([&] {
            if (captions.empty() || captions.back() != caption())
                captions.push_back(caption());
            return done();
        });
        return captions;
    }

    std::array<Byte, 256> deviceMemory_ = deviceMemory();
    sim::Faults faults_;
    Byte firmwareAfterUpdate_ = 77; // what the device announces after an update
    sim::Millis startOfWrite_ = -1; // when the first Write Memory frame reached the stick
};

TEST_F(LinkWindowTest, StartUpReadsTheDeviceIntoTheImage)
{
    bool logoBeforeRead = false;
    startAndRead(77, {}, [&] { logoBeforeRead = shown("pLogo") && !shown("bMemStore"); });

    EXPECT_TRUE(logoBeforeRead) << "an image not yet read is no configuration to show";
    EXPECT_FALSE(shown("pLogo"));
    EXPECT_EQ(caption(), "USB Stick, Device Nr. 12345678, FW 1.77            Ready...");
    const std::array<Byte, 256> expected = deviceMemory();
    EXPECT_EQ(window_->eeBlock(), EeBlock(expected.begin(), expected.end()));
    EXPECT_TRUE(dialogs_.questions.empty()) << "the device runs the built-in version";
    EXPECT_FALSE(window_->runState().formDisabled);
    EXPECT_TRUE(shown("bReread"));
    EXPECT_TRUE(shown("bUpdateFw"));
    EXPECT_FALSE(shown("gbLog")) << "without -showLog";
}

// "Transfer", then "Load" and "Default" while the frames go out: the window stays
// usable, and the device receives exactly the configuration of the Transfer.
TEST_F(LinkWindowTest, TransferWritesTheImageOfItsClickWhateverFollows)
{
    startAndRead(77);
    EeBlock file = makeDefaultImage();
    for (std::size_t i = 0; i < kStoredImageBytes; ++i)
        file[i] = static_cast<Byte>(i * 3);
    const std::string path
        = (fs::temp_directory_path() / ("ormid_link_" + std::to_string(::getpid()) + ".kdc")).string();
    ASSERT_TRUE(writeFileAtomically(path, saveConfiguration(file, "Lamp")).ok());
    dialogs_.fileName = QString::fromStdString(path);
    press("bLoad");
    fs::remove(path);
    const EeBlock transferred = window_->eeBlock();
    ASSERT_NE(transferred[10], deviceMemory()[10]);

    press("bMemStore");
    EXPECT_FALSE(window_->runState().formDisabled) << "usable while the frames go out";
    EXPECT_FALSE(presenceWatchRunning()) << "not while the device is being written";
    runClockUntil([&] { return clock_.now() >= 250 + startOfWrite_; });
    dialogs_.answers = {UserDialogs::Answer::yes};
    press("bMemClear"); // the default settings, FF beyond them
    const EeBlock changedMeanwhile = window_->eeBlock();
    ASSERT_NE(changedMeanwhile, transferred);
    ASSERT_TRUE(runClockUntil([&] { return caption().endsWith("->Transfer finished."); }));

    const auto& device = model_->state().deviceMemory;
    EXPECT_TRUE(std::equal(transferred.begin(), transferred.begin() + 250, device.begin()));
    EXPECT_EQ(device[250], deviceMemory()[250]) << "bytes past 249 are not written";
    EXPECT_FALSE(window_->runState().formDisabled);
    EXPECT_TRUE(presenceWatchRunning());
    EXPECT_TRUE(dialogs_.messages.empty());

    // The read that verifies the write leaves the change made meanwhile in the window.
    ASSERT_TRUE(runClockUntil([&] { return caption().endsWith("->Transfer verified."); }));
    EXPECT_TRUE(std::equal(changedMeanwhile.begin(), changedMeanwhile.begin() + 250, window_->eeBlock().begin()));
    EXPECT_TRUE(std::equal(transferred.begin(), transferred.begin() + 250, device.begin()));
}

// A write that fails stays visible: no read replaces the caption, nor the image the
// user tried to write.
TEST_F(LinkWindowTest, AFailedWriteKeepsItsCaptionAndTheImage)
{
    faults_.refuseWriteMemory = 6;
    startAndRead(77);
    dialogs_.answers = {UserDialogs::Answer::yes};
    press("bMemClear");
    const EeBlock edited = window_->eeBlock();
    press("bMemStore");
    ASSERT_TRUE(runClockUntil([&] { return caption() == "Transfer Error!"; }));
    runClockUntil([&] { return clock_.now() > startOfWrite_ + 20000; }); // several identifications later
    EXPECT_EQ(caption(), "Transfer Error!");
    EXPECT_EQ(window_->eeBlock(), edited);
    EXPECT_TRUE(presenceWatchRunning());
    EXPECT_TRUE(shown("bSave"));

    press("bMemStore"); // tried again: the stick takes it now
    ASSERT_TRUE(runClockUntil([&] { return caption().endsWith("->Transfer finished."); }));
    EXPECT_TRUE(std::equal(edited.begin(), edited.begin() + 250, model_->state().deviceMemory.begin()));
}

// The stick pulled out while Transfer writes the device: the window keeps what it tried
// to write, says so, and restarts only once the user saved it.
TEST_F(LinkWindowTest, AStickPulledDuringATransferLeavesTheEditToSave)
{
    startAndRead(77);
    press("SW_astro_close"); // ISD off: a change only the window holds
    const EeBlock edited = window_->eeBlock();
    press("bMemStore");
    ASSERT_TRUE(runClockUntil([&] { return caption().contains("->Transfer 3/20"); })) << caption().toStdString();
    stick_->setPluggedIn(false);
    ASSERT_TRUE(runClockUntil([&] { return !dialogs_.questions.empty(); }));
    runClockUntil([] { return false; }, 10ms, 500);

    EXPECT_EQ(caption(), "The stick was pulled out; save your configuration or plug the stick in again");
    EXPECT_EQ(window_->eeBlock(), edited);
    EXPECT_TRUE(process_.calls.empty()) << "no restart before the user decided";
    EXPECT_FALSE(window_->runState().formDisabled);
    for (const char* name : {"bLoad", "bSave", "bPdf"})
        EXPECT_TRUE(shown(name)) << name;

    const fs::path file = fs::temp_directory_path() / ("ormid_pulled_" + std::to_string(::getpid()) + ".kdc");
    dialogs_.fileName = QString::fromStdString(file.string());
    press("bSave");
    EXPECT_EQ(readWholeFile(file).bytes, saveConfiguration(edited, ""));
    fs::remove(file);
    ASSERT_TRUE(runClockUntil([&] { return !process_.calls.empty(); }));
    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
}

// The read the device's next identification starts after a write checks what it holds:
// "verified" in the caption, or a warning that names the byte, with the configuration
// sent back in the window for another Transfer.
TEST_F(LinkWindowTest, TheReadAfterAWriteVerifiesIt)
{
    for (const bool flipped : {false, true}) {
        SCOPED_TRACE(flipped ? "a byte stored wrong" : "stored as sent");
        faults_ = {};
        if (flipped)
            faults_.flipStoredAt = 20;
        startAndRead(77);
        dialogs_.answers = {UserDialogs::Answer::yes};
        press("bMemClear");
        const EeBlock sent = window_->eeBlock();
        press("bMemStore");
        ASSERT_TRUE(runClockUntil([&] { return caption().contains("->Transfer") && caption().contains("verified"); }))
            << caption().toStdString();
        const std::string ready = "USB Stick, Device Nr. 12345678, FW 1.77            Ready...";
        if (!flipped) {
            EXPECT_EQ(caption().toStdString(), ready + "  ->Transfer verified.");
            EXPECT_TRUE(dialogs_.messages.empty());
        } else {
            EXPECT_EQ(caption().toStdString(), ready + "  ->Transfer NOT verified!");
            EXPECT_EQ(model_->state().deviceMemory[20], static_cast<Byte>(~sent[20]));
            ASSERT_EQ(dialogs_.messages.size(), 1u);
            EXPECT_TRUE(dialogs_.messages.front().contains(
                QStringLiteral("byte 20: wrote 0x%1").arg(QString::fromStdString(hexByte(sent[20])))));
            EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 250, window_->eeBlock().begin()))
                << "the window keeps what was sent";
            EXPECT_FALSE(window_->runState().formDisabled);
            dialogs_.messages.clear();
        }
        // The next Transfer's progress follows the device caption, not the last verdict.
        press("bMemStore");
        ASSERT_TRUE(runClockUntil([&] { return caption().contains("->Transfer 1/20"); })) << caption().toStdString();
        EXPECT_EQ(caption().toStdString(), ready + "->Transfer 1/20");
        ASSERT_TRUE(runClockUntil([&] { return caption().contains("verified"); })) << caption().toStdString();
        dialogs_.messages.clear();
    }
}

// After a read that stopped, the blocks are covered and "Transfer" says why it cannot write.
TEST_F(LinkWindowTest, AfterAReadErrorTransferAsksForARead)
{
    faults_.corruptReadAt = 52;
    startWindow(77);
    ASSERT_TRUE(runClockUntil([&] { return caption() == "Read Error!"; }));
    EXPECT_TRUE(shown("pLogo"));
    EXPECT_FALSE(window_->runState().formDisabled);
    const auto device = model_->state().deviceMemory;

    press("bMemStore");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].startsWith("The device memory has not been read completely."));
    EXPECT_EQ(dialogs_.messageKinds, std::vector<UserDialogs::Kind>{UserDialogs::Kind::warning});
    runClockUntil([] { return false; });
    EXPECT_EQ(model_->state().deviceMemory, device) << "nothing was written";
    EXPECT_EQ(caption(), "Read Error!");
    EXPECT_TRUE(presenceWatchRunning());
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
    runClockUntil([] { return false; }); // give a started update every chance to show
    EXPECT_TRUE(window_->link()->engine().isIdle());
    EXPECT_FALSE(element("pbFWUpdate")->isVisible());
    EXPECT_TRUE(model_->state().receivedFirmware.empty());
    EXPECT_EQ(model_->state().deviceFirmware, 71);
}

// "Yes" is taken after the tick that finished the read; the update locks the window,
// the bar follows the pages, and a refused page says so in the caption.
TEST_F(LinkWindowTest, YesStartsTheUpdateAndARefusedPageSaysSo)
{
    faults_.refusePage = 3;
    dialogs_.answers = {UserDialogs::Answer::yes};
    startAndRead(71);
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    auto* progress = element<QProgressBar>("pbFWUpdate");
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(window_->runState().formDisabled);
    ASSERT_TRUE(runClockUntil([&] { return progress->value() == 3; }));

    ASSERT_TRUE(runClockUntil([&] { return caption().endsWith("->FW Update refused at page 4 of 80!"); }));
    EXPECT_EQ(dialogs_.beeps, 1);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(window_->runState().formDisabled);

    press("bUpdateFw"); // from page 0 again, and through
    ASSERT_TRUE(runClockUntil([&] { return caption().endsWith("->FW Update finished."); }));
    EXPECT_EQ(model_->state().receivedFirmware.size(),
              static_cast<std::size_t>(window_->link()->engine().firmwarePages()) * 72);
    EXPECT_FALSE(window_->runState().formDisabled);
}

// An update broken off by a lost answer leaves the device in the middle of it; the
// next click resets the device before the first page, and the device ends with
// exactly the built-in image.
TEST_F(LinkWindowTest, AnUpdateAfterALostAnswerResetsTheDeviceBeforeItsFirstPage)
{
    faults_.loseReply = sim::LostReply{'Z', 3};
    dialogs_.answers = {UserDialogs::Answer::yes};
    startAndRead(71);
    const QString ready = "USB Stick, Device Nr. 12345678, FW 1.71            Ready...";
    ASSERT_TRUE(runClockUntil([&] {
        return caption() == ready + "->FW Update: no answer at page 3 of 80, which may or may not have been stored!";
    }));
    EXPECT_FALSE(model_->state().receivedFirmware.empty()) << "the device holds the first pages";

    press("bUpdateFw"); // the last verdict gives way to the new progress
    EXPECT_EQ(caption(), ready + "->FW Update: waiting for the device to restart before the first page...");
    EXPECT_TRUE(window_->runState().formDisabled);
    const QString finished = "USB Stick, Device Nr. 12345678, FW 1.77            Ready...->FW Update finished.";
    const std::vector<QString> captions = captionsUntil([&] { return caption() == finished; });
    EXPECT_EQ(captions.back(), finished);
    EXPECT_NE(std::find(captions.begin(), captions.end(), ready + "->FW Update 0/80"), captions.end());
    const std::vector<Byte>& image = window_->firmware().fwImage;
    EXPECT_EQ(model_->state().receivedFirmware, std::vector<Byte>(image.begin(), image.begin() + 80 * 72));
    EXPECT_EQ(model_->state().deviceFirmware, 77);
}

// However slow the replies, the caption keeps moving while a write goes out, so that
// nobody pulls the stick out thinking it hangs; the write ends as it always did.
TEST_F(LinkWindowTest, TheCaptionCountsTheFramesOfASlowWrite)
{
    faults_.replyDelay = 300;
    startAndRead(77);
    const QString ready = caption();
    press("bMemStore");
    const std::vector<QString> captions = captionsUntil([&] { return caption().endsWith("->Transfer finished."); });
    ASSERT_GE(captions.size(), 20u) << "the caption before, 19 counts, the end";
    EXPECT_EQ(captions[1], ready + "->Transfer 1/20");
    EXPECT_EQ(captions[19], ready + "->Transfer 19/20");
    EXPECT_EQ(captions.back(), ready + "->Transfer finished.");
}

// The caption follows the pages; after the last one the window waits for the device to
// come back, and only a device that announces the new version makes the update finished.
TEST_F(LinkWindowTest, AnUpdateIsFinishedOnlyWhenTheDeviceComesBackWithTheNewVersion)
{
    const struct {
        const char* name;
        Byte afterUpdate;
        QString end; // the caption names the version the device runs after the update
        int beeps;
    } cases[] = {
        {"new version", 77, "USB Stick, Device Nr. 12345678, FW 1.77            Ready...->FW Update finished.", 0},
        {"old version", 71,
         "USB Stick, Device Nr. 12345678, FW 1.71            Ready...->FW Update failed: the device announces FW 1.71!",
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        firmwareAfterUpdate_ = c.afterUpdate;
        dialogs_.answers = {UserDialogs::Answer::yes};
        dialogs_.beeps = 0;
        startAndRead(71);
        const QString ready = "USB Stick, Device Nr. 12345678, FW 1.71            Ready...";
        bool lockedWhileRestarting = false;
        const std::vector<QString> captions = captionsUntil([&] {
            if (caption().endsWith("->FW Update: waiting for the device to restart..."))
                lockedWhileRestarting = window_->runState().formDisabled;
            return caption() == c.end;
        });
        EXPECT_EQ(captions.back(), c.end);
        EXPECT_NE(std::find(captions.begin(), captions.end(), ready + "->FW Update 1/80"), captions.end());
        EXPECT_NE(std::find(captions.begin(), captions.end(), ready + "->FW Update 79/80"), captions.end());
        EXPECT_TRUE(lockedWhileRestarting);
        EXPECT_FALSE(window_->runState().formDisabled);
        EXPECT_FALSE(element("pbFWUpdate")->isVisible());
        EXPECT_EQ(dialogs_.beeps, c.beeps);
        window_.reset();
    }
}

// The window may close while the version question is up: the link then stays stopped.
TEST_F(LinkWindowTest, ClosingTheWindowDuringTheQuestionStopsTheLink)
{
    dialogs_.onQuestion = [&] { window_->close(); };
    dialogs_.answers = {UserDialogs::Answer::no};
    startAndRead(71);
    ASSERT_EQ(dialogs_.questions.size(), 1u);
    EXPECT_FALSE(window_->findChild<QTimer*>(QStringLiteral("Timer3"))->isActive());
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

// The largest counters are shown whole, not cut.
TEST_F(LinkWindowTest, LogGroupShowsTheLargestCountersWhole)
{
    std::fill(deviceMemory_.begin() + field::operatingMinutes, deviceMemory_.begin() + field::maxTemperature + 1,
              Byte{0xFF});
    startAndRead(72, {"-showLog", "-skipFW"});
    const std::pair<const char*, const char*> fields[]
        = {{"lOp", "16777215 min"}, {"lSwCnt", "65535"}, {"lOverT", "983025 min"}, {"lMaxT", "255 °C"}};
    for (const auto& [name, text] : fields) {
        auto* label = element<QLabel>(name);
        EXPECT_EQ(label->text(), QString::fromUtf8(text)) << name;
        EXPECT_GE(label->width(), label->sizeHint().width()) << name << " is cut";
        EXPECT_TRUE(element("gbLog")->rect().contains(label->geometry())) << name << " reaches past its group";
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
            // Without -debug the box is not on screen; it is ticked all the same to
            // show that the memo still takes nothing.
            if (c.ticked && shown("cbStickDebug"))
                press("cbStickDebug");
            else
                element<QAbstractButton>("cbStickDebug")->setChecked(c.ticked);
            if (c.stopped)
                press("cbDebugHold");
        });
        // The panel is built the first time "Debug" is ticked.
        const auto* panel = window_->findChild<QWidget*>(QStringLiteral("pDebug"));
        EXPECT_EQ(panel != nullptr && panel->isVisible(), c.ticked);
        const auto* memoField = window_->findChild<QPlainTextEdit*>(QStringLiteral("mDebug"));
        const QString memo = memoField != nullptr ? memoField->toPlainText() : QString();
        EXPECT_EQ(memo.contains("------------------ Memory dump --------------------"), c.logged);
        EXPECT_EQ(memo.contains("Send: "), c.logged);
        window_.reset();
    }
}

} // namespace
} // namespace ormid
