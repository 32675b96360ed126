// The four memories in the window: reading them at start-up, choosing, Default and
// Cancel, Transfer, Erase and the mode switch, Load and Save. In process against
// the simulated stick on a virtual clock, with scripted dialogs.

#include "app/memory_slots.h"
#include "editors/output/dimming_curves.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/block_pictures.h"
#include "app/main_window.h"
#include "app/user_dialogs.h"
#include "app/window_fixture.h"
#include "core/data_block.h"
#include "core/encodings.h"
#include "files/atomic_file.h"
#include "files/config_file.h"
#include "link/embedded_firmware.h"
#include "link/firmware_container.h"
#include "link/firmware_image.h"
#include "link/firmware_text.h"
#include "sim/presets.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid {
namespace {

using test::StickSetup;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// An image that differs from the default one in every stored byte that the panel's
// redraw leaves alone, with astro bytes that are not zero.
EeBlock memoryImage()
{
    EeBlock image = makeDefaultImage();
    for (std::size_t i = 76; i <= 84; ++i)
        image[i] = static_cast<Byte>(0x40 + i);
    return image;
}

// Memory n as presetMemory leaves it, but with FF after the name, as a name of
// fewer than 8 characters is stored.
void presetNamedMemory(sim::StickState& state, int n, const EeBlock& image, const std::string& name)
{
    ASSERT_EQ(sim::presetMemory(state, n, image, name), "");
    Block control = sim::readStickBlock(state, kControlBlockAddress);
    for (std::size_t i = name.size(); i < kInfoSize; ++i)
        control[memoryRecordOffset(n) + kInfoOffset + i] = kInfoEnd;
    sim::writeStickBlock(state, kControlBlockAddress, control);
}

// A stick with "Park" in M2, written while the stick was local; `remote` then
// turns the stick remote, so the record carries the other variant's signature.
StickSetup parkStick(bool remote)
{
    StickSetup setup;
    presetNamedMemory(setup.state, 2, memoryImage(), "Park");
    setup.state.remote = remote;
    return setup;
}

class MemorySlotsTest : public test::WindowOnStick {
protected:
    QString info() const { return element<QLineEdit>("eInfo")->text(); }
    ControlBlock stickControlBlock() const { return sim::readStickBlock(model_->state(), kControlBlockAddress); }

    static constexpr const char* kMemoryButtons[] = {"bM1", "bM2", "bM3", "bM4"};
    static inline const QString kSkyBlue = QStringLiteral("rgb(166,202,240)");
    static inline const QString kLime = QStringLiteral("rgb(0,255,0)");
};

TEST_F(MemorySlotsTest, ParkRecordReadsByTheStickKind)
{
    const struct {
        const char* name;
        bool remote;
        bool copyAstro;
    } cases[] = {
        {"local stick", false, false},
        {"local stick, -copyAstro", false, true},
        {"remote stick reads a local record as empty", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(parkStick(c.remote), c.copyAstro ? std::vector<std::string>{"-copyAstro"} : std::vector<std::string>{});
        auto* m2 = element<QAbstractButton>("bM2");
        const TMemory& memory = window_->memories().memories()[1];
        EXPECT_EQ(memory.empty, c.remote);
        EXPECT_TRUE(m2->styleSheet().contains(c.remote ? kLime : kSkyBlue)) << m2->styleSheet().toStdString();
        EXPECT_EQ(m2->toolTip(), c.remote ? QString() : QStringLiteral("Info: Park"));
        EXPECT_TRUE(element<QAbstractButton>("bM1")->styleSheet().contains(kLime));

        const EeBlock before = image();
        press("bM2");
        EXPECT_EQ(run().selectedSlot, 2);
        EXPECT_FALSE(run().formDisabled);
        EXPECT_FALSE(run().modeButtonShown);
        for (const char* name : kMemoryButtons)
            EXPECT_EQ(shown(name), std::string(name) == "bM2") << name;
        EXPECT_TRUE(shown("bMemStore"));
        EXPECT_FALSE(shown("pLogo"));

        if (c.remote) {
            EXPECT_EQ(image(), makeDefaultImage());
            EXPECT_EQ(info(), QString());
            EXPECT_TRUE(shown("Memo1"));
            continue;
        }
        EXPECT_EQ(info(), "Park");
        const EeBlock stored = memoryImage();
        for (std::size_t i = 0; i < 96; ++i) {
            const bool astro = i >= 76 && i <= 84;
            EXPECT_EQ(image()[i], astro && !c.copyAstro ? 0 : stored[i]) << "byte " << i;
        }
        for (std::size_t i = 96; i < kImageSize; ++i)
            EXPECT_EQ(image()[i], before[i]) << "byte " << i << " is not in a data block";
        EXPECT_FALSE(shown("Memo1"));
    }
}

TEST_F(MemorySlotsTest, EveryUsedMemoryIsReadWithItsCaptionDot)
{
    auto dotsBeforeReady = [&](const StickSetup& setup) {
        start(setup);
        EXPECT_EQ(captions_.back(), "Ormid");
        return captions_.size();
    };
    StickSetup twoUsed;
    EXPECT_EQ(sim::presetMemory(twoUsed.state, 1, memoryImage(), "A"), "");
    EXPECT_EQ(sim::presetMemory(twoUsed.state, 3, memoryImage(), ""), "");
    const std::size_t none = dotsBeforeReady(StickSetup{});
    const std::size_t two = dotsBeforeReady(twoUsed);
    // A block arrives one report per 50 ms collector cycle, so each read lasts more
    // than ten cycles and gets its dots at cycles 0 and 10.
    EXPECT_EQ(two, none + 4);
    EXPECT_EQ(window_->memories().memories()[2].data, *buildDataBlock(memoryImage()));
    EXPECT_EQ(window_->memories().memories()[2].address, 0x8000);
    EXPECT_EQ(element("bM3")->toolTip(), QString()) << "a memory without a name has no hint";
}

TEST_F(MemorySlotsTest, EmptyMemoryYieldsTheDefaultImageAndTheChosenButtonIsInert)
{
    start(parkStick(false));
    press("bM1");
    EXPECT_EQ(image(), makeDefaultImage());
    test::typeInto(*window_, "eInfo", "Mine");
    press("bM1");
    EXPECT_EQ(info(), "Mine") << "the chosen memory's button no longer reacts";
    EXPECT_FALSE(shown("bM2"));
}

// A memory whose engine has no first step is shown, and held, with the engine's function off.
TEST_F(MemorySlotsTest, AMemoryWithoutAFirstEngineStepShowsItsFunctionOff)
{
    const struct {
        const char* name;
        std::size_t freeStep;
        Byte clearedBit;
        const char* offPicture;
    } cases[] = {
        {"engine 2: LSt off", engine2Step(1) + 2, bit::lstEnable, "LST_dis"},
        {"engine 1: ISD off", engine1Step(1) + 2, bit::isdEnable, "Astro_dis"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EeBlock memory = makeDefaultImage();
        memory[c.freeStep] = 0xFF;
        editMemory(memory);
        EXPECT_FALSE(TestBit(image()[field::outputByte], c.clearedBit));
        EXPECT_TRUE(shown(c.offPicture));
    }
}

// The widgets Tab visits, in order, starting from the window, one round.
std::vector<QString> tabStops(QWidget& window)
{
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    std::vector<QString> stops;
    for (int i = 0; i < 40; ++i) {
        QWidget* from = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &window;
        QTest::keyClick(from, Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == nullptr || (!stops.empty() && now->objectName() == stops.front()))
            break;
        stops.push_back(now->objectName());
    }
    return stops;
}

// While the memories are offered, Tab visits the memory buttons and the mode button,
// and nothing the logo covers; Space on a memory button chooses it.
TEST_F(MemorySlotsTest, TheKeyboardReachesOnlyWhatIsOnScreen)
{
    for (const bool remote : {false, true}) {
        SCOPED_TRACE(remote ? "remote layout" : "standard layout");
        start(parkStick(remote));
        EXPECT_EQ(tabStops(*window_), (std::vector<QString>{"bM1", "bM2", "bM3", "bM4", "bErase"}));
        while (QApplication::focusWidget() != element("bM2"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(element("bM2"), Qt::Key_Space);
        EXPECT_EQ(run().selectedSlot, 2);
        EXPECT_FALSE(run().formDisabled);
        EXPECT_EQ(shown("cbTxPOL"), remote);
        EXPECT_EQ(element("cbTxPOL")->isEnabled(), true) << "the blocks take the focus again once shown";
    }
}

// A memory whose records break their layout, or whose bytes no longer match their
// checksum, is never loaded silently: the default image is shown with a message.
TEST_F(MemorySlotsTest, DamagedDataBlockYieldsTheDefaultImageWithAMessage)
{
    const struct {
        const char* name;
        std::size_t at;
        Byte value;
    } damages[] = {
        {"a record length past its 16 bytes", 0, 0x30},
        {"one image byte flipped", 20, 0xFF},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        dialogs_.messages.clear();
        StickSetup setup = parkStick(false);
        Block data = sim::readStickBlock(setup.state, dataBlockAddress(2));
        data[damage.at] ^= damage.value;
        sim::writeStickBlock(setup.state, dataBlockAddress(2), data);
        start(setup);
        EXPECT_TRUE(element("bM2")->toolTip().contains(" - damaged: ")) << "said before it is chosen";
        EXPECT_FALSE(element("bM1")->toolTip().contains("damaged"));
        press("bM2");

        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_TRUE(dialogs_.messages[0].startsWith("The data of memory M2 is damaged"));
        EXPECT_EQ(image(), makeDefaultImage());
        EXPECT_EQ(info(), "Park");
        EXPECT_FALSE(run().formDisabled);
    }
}

TEST_F(MemorySlotsTest, DefaultOnM3ClearsTheMemoryAfterYes)
{
    const struct {
        const char* name;
        UserDialogs::Answer answer;
        bool cleared;
        int beeps;
    } cases[] = {
        {"Yes", UserDialogs::Answer::yes, true, 0},
        {"No", UserDialogs::Answer::no, false, 1},
        {"closed", UserDialogs::Answer::dismissed, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StickSetup setup = parkStick(false);
        presetNamedMemory(setup.state, 3, memoryImage(), "Hall");
        start(setup);
        dialogs_ = {};
        dialogs_.answers = {c.answer};
        const ControlBlock before = window_->controlBlock();
        press("bM3");
        const EeBlock chosen = image();
        press("bMemClear");

        EXPECT_EQ(dialogs_.questions, std::vector<QString>{"Are youe sure?"});
        EXPECT_EQ(dialogs_.beeps, c.beeps);
        auto* m3 = element<QAbstractButton>("bM3");
        if (!c.cleared) {
            EXPECT_EQ(image(), chosen);
            EXPECT_EQ(window_->controlBlock(), before);
            EXPECT_EQ(info(), "Hall");
            continue;
        }
        EXPECT_TRUE(m3->styleSheet().contains(kLime));
        EXPECT_EQ(m3->toolTip(), QString());
        EXPECT_EQ(info(), "Default");
        EXPECT_EQ(image(), makeDefaultImage());
        ControlBlock expected = before;
        for (std::size_t i = 32 + 8; i < 48; ++i)
            expected[i] = 0xFF;
        EXPECT_EQ(window_->controlBlock(), expected) << "only the name bytes of record 3 change";
        EXPECT_EQ(stickControlBlock(), sim::readStickBlock(setup.state, kControlBlockAddress)) << "nothing is written";
    }
}

TEST_F(MemorySlotsTest, CancelReturnsToTheChoice)
{
    start(parkStick(false), {"-dc=3"});
    ASSERT_EQ(window_->curves().selectedIndex(), 3);
    press("bM1");
    test::typeInto(*window_, "eInfo", "Street");
    press("bMemCancel");

    for (const char* name : kMemoryButtons)
        EXPECT_TRUE(shown(name)) << name;
    EXPECT_EQ(info(), QString());
    EXPECT_TRUE(shown("pLogo"));
    EXPECT_FALSE(shown("bMemStore"));
    EXPECT_TRUE(run().formDisabled);
    EXPECT_EQ(window_->curves().selectedIndex(), -1);
    EXPECT_TRUE(run().modeButtonShown);
    EXPECT_TRUE(shown("bErase"));
    EXPECT_EQ(element<QAbstractButton>("bErase")->text(), "Go2Rem");

    press("bM1");
    EXPECT_EQ(run().selectedSlot, 1) << "M1 reacts again after Cancel";
    EXPECT_FALSE(run().formDisabled);
}

TEST_F(MemorySlotsTest, TransferWritesTheMemoryAndRestarts)
{
    const struct {
        const char* name;
        bool remote;
        int memory;
        QStringList restartArguments;
        Byte status; // the remote record's Tx selection: "cbTxISD" is bit 1
    } cases[] = {
        {"local M3", false, 3, {"-dc=2"}, 0x00},
        {"remote M1", true, 1, {}, 0x02},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StickSetup setup;
        setup.state.remote = c.remote;
        process_ = {};
        start(setup, {"-dc=2"});
        const char* button = kMemoryButtons[c.memory - 1];
        press(button);
        test::typeInto(*window_, "eInfo", "Hall");
        if (c.remote)
            press("cbTxISD");
        bool busyWhileWriting = false;
        waiter_.onSleep = [&] {
            busyWhileWriting = busyWhileWriting
                || (QGuiApplication::overrideCursor() != nullptr
                    && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor && run().formDisabled
                    && !shown("bMemStore"));
        };
        const EeBlock written = image();
        press("bMemStore");
        waiter_.onSleep = nullptr;

        EXPECT_TRUE(busyWhileWriting);
        EXPECT_TRUE(dialogs_.messages.empty());
        const MemoryRecord record = readMemoryRecord(stickControlBlock(), c.memory);
        EXPECT_TRUE(record.isValid(c.remote));
        EXPECT_EQ(record.blockNumber, memoryBlockNumber(c.memory));
        EXPECT_EQ(record.length, 128);
        EXPECT_EQ(record.status, c.status);
        EXPECT_EQ(record.name(), "Hall    ");
        EXPECT_EQ(sim::readStickBlock(model_->state(), dataBlockAddress(c.memory)), *buildDataBlock(written));
        EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
        EXPECT_EQ(process_.startedWith, c.restartArguments);
    }
}

TEST_F(MemorySlotsTest, TheRunAfterTheRestartShowsTheWrittenMemory)
{
    EeBlock written = memoryImage();
    written[field::minLevel] = 20;
    const fs::path file = fs::temp_directory_path() / ("ormid_restart_" + std::to_string(::getpid()) + ".kdc");
    ASSERT_TRUE(writeFileAtomically(file, saveConfiguration(written, "Hall")).ok());

    start(StickSetup{});
    press("bM3");
    dialogs_.fileName = QString::fromStdString(file.string());
    press("bLoad");
    fs::remove(file);
    ASSERT_EQ(info(), "Hall");
    press("bMemStore");
    ASSERT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));

    // The restarted run: a new window on the same stick, which kept what was written.
    const sim::StickState afterTransfer = model_->state();
    window_.reset();
    StickSetup sameStick;
    sameStick.state = afterTransfer;
    start(sameStick);
    auto* m3 = element<QAbstractButton>("bM3");
    EXPECT_TRUE(m3->styleSheet().contains(kSkyBlue)) << m3->styleSheet().toStdString();
    EXPECT_EQ(m3->toolTip(), QStringLiteral("Info: Hall    "));
    press("bM3");
    EXPECT_EQ(info(), "Hall    ");
    for (std::size_t i = 0; i < kStoredImageBytes; ++i) {
        const bool astro = i >= field::astroDataFirst && i <= field::astroDataLast;
        EXPECT_EQ(image()[i], astro ? 0 : written[i]) << "byte " << i;
    }
}

TEST_F(MemorySlotsTest, LocalM3IsWrittenAt0x8000WithBlockNumber0x0100)
{
    start(StickSetup{});
    press("bM3");
    press("bMemStore");
    EXPECT_EQ(readMemoryRecord(stickControlBlock(), 3).blockNumber, 0x0100);
    EXPECT_EQ(sim::readStickBlock(model_->state(), 0x8000), *buildDataBlock(makeDefaultImage()));
}

TEST_F(MemorySlotsTest, FailedTransferKeepsTheStickAndTheImage)
{
    const struct {
        const char* name;
        bool sim::Faults::*fault;
    } cases[] = {
        {"never acknowledged", &sim::Faults::neverAckBlockWrite},
        {"acknowledged for another address", &sim::Faults::ackOtherAddress},
        {"status 0", &sim::Faults::ackStatusZero},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StickSetup setup = parkStick(false);
        setup.faults.*c.fault = true;
        process_ = {};
        start(setup);
        dialogs_ = {};
        press("bM2");
        const EeBlock chosen = image();
        const ControlBlock before = stickControlBlock();
        press("bMemStore");

        EXPECT_EQ(dialogs_.messages, std::vector<QString>{"Firmware Write Error!CF"});
        EXPECT_EQ(dialogs_.messageKinds, std::vector<UserDialogs::Kind>{UserDialogs::Kind::critical});
        EXPECT_EQ(stickControlBlock(), before);
        EXPECT_EQ(image(), chosen);
        for (const char* name : kMemoryButtons) {
            EXPECT_TRUE(shown(name)) << name;
            EXPECT_TRUE(element(name)->isEnabled()) << name;
        }
        EXPECT_FALSE(shown("bMemStore"));
        EXPECT_FALSE(shown("bMemCancel"));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(process_.calls.empty());

        press("bM2");
        EXPECT_FALSE(run().formDisabled) << "the memories can be chosen again";
    }
}

// After a failed Transfer the edited image can still be saved, and pulling the stick
// out restarts the program as at any other time.
TEST_F(MemorySlotsTest, AfterAFailedTransferTheImageCanBeSavedAndAReplugIsNoticed)
{
    StickSetup setup = parkStick(false);
    setup.faults.neverAckBlockWrite = true;
    start(setup);
    press("bM2");
    press("bMemStore");
    ASSERT_EQ(dialogs_.messages, std::vector<QString>{"Firmware Write Error!CF"});
    EXPECT_TRUE(presenceWatchRunning());

    const fs::path file = fs::temp_directory_path() / ("ormid_failed_" + std::to_string(::getpid()) + ".kdc");
    dialogs_.fileName = QString::fromStdString(file.string());
    for (const char* name : {"bLoad", "bSave", "bPdf"})
        EXPECT_TRUE(shown(name)) << name;
    press("bSave");
    EXPECT_EQ(readWholeFile(file).bytes, saveConfiguration(image(), "Park"));
    fs::remove(file);

    stick_->setPluggedIn(false);
    ASSERT_TRUE(runUntil([&] { return !process_.calls.empty(); }));
    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
}

TEST_F(MemorySlotsTest, TransferWithoutAChosenMemoryDoesNothing)
{
    start(parkStick(false));
    const sim::StickState before = model_->state();
    press("bM1");
    press("bMemCancel");
    EXPECT_FALSE(shown("bMemStore"));
    window_->findChild<MemorySlots*>()->transfer(); // locked again: the handler does nothing
    EXPECT_EQ(model_->state(), before);
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_TRUE(process_.calls.empty());
}

TEST_F(MemorySlotsTest, TransferWithoutAStickSaysUsbError)
{
    start(StickSetup{}.unplugged());
    ASSERT_TRUE(run().demo());
    const EeBlock before = image();
    EXPECT_FALSE(shown("bMemStore")) << "demo mode offers no Transfer";
    window_->findChild<MemorySlots*>()->transfer();
    EXPECT_EQ(dialogs_.messages, std::vector<QString>{"   USB Error!   "});
    EXPECT_EQ(dialogs_.messageKinds, std::vector<UserDialogs::Kind>{UserDialogs::Kind::critical});
    EXPECT_EQ(image(), before);
    EXPECT_TRUE(process_.calls.empty());
    EXPECT_TRUE(presenceWatchRunning()) << "a stick plugged in now is still noticed";
}

TEST_F(MemorySlotsTest, EraseAsksAndRestartsOnlyAfterYes)
{
    const struct {
        const char* name;
        UserDialogs::Answer answer;
        bool erased;
        int beeps;
    } cases[] = {
        {"No", UserDialogs::Answer::no, false, 1},
        {"closed", UserDialogs::Answer::dismissed, false, 0},
        {"Yes: Go2Rem", UserDialogs::Answer::yes, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        process_ = {};
        start(parkStick(false));
        dialogs_ = {};
        dialogs_.answers = {c.answer};
        const sim::StickState before = model_->state();
        ASSERT_EQ(element<QAbstractButton>("bErase")->text(), "Go2Rem");
        press("bErase");
        runUntil([] { return false; });

        EXPECT_EQ(dialogs_.questions,
                  std::vector<QString>{"All parameter in M1, M2, M3 and M4 will be erased! Are youe sure?"});
        EXPECT_EQ(dialogs_.beeps, c.beeps);
        if (!c.erased) {
            EXPECT_TRUE(presenceWatchRunning()) << "a declined question leaves the stick watched";
            EXPECT_EQ(model_->state(), before);
            EXPECT_FALSE(run().remoteMode) << "the stick's kind changes only after Yes";
            EXPECT_TRUE(process_.calls.empty());
            continue;
        }
        EXPECT_TRUE(model_->state().remote);
        EXPECT_FALSE(readMemoryRecord(stickControlBlock(), 2).isValid(false));
        EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
    }
}

class FileButtonsTest : public MemorySlotsTest {
protected:
    void SetUp() override
    {
        MemorySlotsTest::SetUp();
        char pattern[] = "/tmp/ormid-slots-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        start(parkStick(false));
        press("bM2");
        dialogs_ = {};
    }
    void TearDown() override
    {
        MemorySlotsTest::TearDown();
        fs::remove_all(folder_);
    }

    QString path(const char* name) const { return QString::fromStdString((folder_ / name).string()); }

    fs::path folder_;
};

TEST_F(FileButtonsTest, SaveWritesTheConfigurationFile)
{
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {
        {"park.kdc", "park.kdc"},
        {"typed", "typed.kdc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        dialogs_.fileName = path(c.chosen);
        press("bSave");
        ASSERT_EQ(dialogs_.fileDialogs.size(), 1u);
        EXPECT_EQ(dialogs_.fileDialogs[0].title, "Configuration Save");
        EXPECT_EQ(dialogs_.fileDialogs[0].filter, "Configuration files (*.kdc)");
        EXPECT_EQ(dialogs_.fileDialogs[0].suffix, "kdc");
        EXPECT_EQ(readWholeFile(folder_ / c.written).bytes, saveConfiguration(image(), "Park"));
        EXPECT_TRUE(dialogs_.messages.empty());
        dialogs_ = {};
    }
}

TEST_F(FileButtonsTest, FailedSaveSaysSo)
{
    dialogs_.fileName = path("missing/park.kdc");
    press("bSave");
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_TRUE(dialogs_.messages[0].startsWith("The configuration could not be saved"));
}

TEST_F(FileButtonsTest, LoadTakesAGoodFileAndRefusesACorruptedOne)
{
    EeBlock loaded = makeDefaultImage();
    loaded[0] = static_cast<Byte>(loaded[0] ^ 0x01);
    std::string good = saveConfiguration(loaded, "Hall");
    std::string corrupted = good;
    corrupted[3] = corrupted[3] == '0' ? '1' : '0'; // the CRC in line 1
    ASSERT_TRUE(writeFileAtomically(folder_ / "good.kdc", good).ok());
    ASSERT_TRUE(writeFileAtomically(folder_ / "bad.kdc", corrupted).ok());

    const EeBlock chosen = image();
    dialogs_.fileName = path("bad.kdc");
    press("bLoad");
    ASSERT_EQ(dialogs_.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs_.fileDialogs[0].title, "Open File");
    EXPECT_EQ(dialogs_.fileDialogs[0].filter, "Configuration files (*.kdc);;Firmware files (*.kdp)");
    EXPECT_EQ(dialogs_.messages, std::vector<QString>{"File is corrupted!"});
    EXPECT_EQ(info(), "Park");
    for (std::size_t i = 0; i < kImageSize; ++i)
        EXPECT_EQ(image()[i], chosen[i]) << i;

    dialogs_ = {};
    dialogs_.fileName = path("good.kdc");
    press("bLoad");
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(info(), "Hall");
    EXPECT_EQ(image(), loadConfiguration(good, chosen, {}).image);
    EXPECT_NE(image(), chosen);
}

TEST_F(FileButtonsTest, CancelledDialogsChangeNothing)
{
    const EeBlock chosen = image();
    press("bLoad");
    press("bSave");
    EXPECT_EQ(dialogs_.fileDialogs.size(), 2u);
    EXPECT_EQ(image(), chosen);
    EXPECT_TRUE(fs::is_empty(folder_));
    EXPECT_TRUE(dialogs_.messages.empty());
}

class FirmwareTest : public MemorySlotsTest {
protected:
    // A local stick with "Park" in M2 and, when `version` is given, a firmware record.
    static StickSetup stick(std::optional<Byte> version)
    {
        StickSetup setup = parkStick(false);
        if (version) {
            Block control = sim::readStickBlock(setup.state, kControlBlockAddress);
            writeFirmwareRecord(control, *version, 5704);
            sim::writeStickBlock(setup.state, kControlBlockAddress, control);
        }
        return setup;
    }
    PictureLabel* icon() const { return element<PictureLabel>("iFW"); }
    std::vector<Byte> stickBytes(std::uint16_t address, std::size_t count) const
    {
        const auto at = model_->state().memory.begin() + address;
        return {at, at + static_cast<std::ptrdiff_t>(count)};
    }
    static const FirmwareContainer& builtIn()
    {
        static const FirmwareContainer parsed = parseFirmwareContainer(embeddedFirmwareContainer());
        return parsed;
    }
    static std::string hintFor(bool update) { return firmwareHint(builtIn().header.version, update); }
};

TEST_F(FirmwareTest, StartUpComparesTheBuiltInVersionWithTheStick)
{
    const Byte builtInVersion = builtIn().header.version;
    const struct {
        const char* name;
        std::optional<Byte> stickVersion;
        std::vector<std::string> arguments;
        bool iconShown;
        bool update;
    } cases[] = {
        {"no firmware record", std::nullopt, {}, true, true},
        {"another version", static_cast<Byte>(builtInVersion + 1), {}, true, true},
        {"the same version", builtInVersion, {}, true, false},
        {"-skipFW", std::nullopt, {"-skipFW"}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(stick(c.stickVersion), c.arguments);
        EXPECT_EQ(icon()->isVisible(), c.iconShown);
        EXPECT_EQ(window_->firmware().fwPending, c.update);
        if (c.iconShown) {
            EXPECT_EQ(icon()->hint().toStdString(), hintFor(c.update));
        }
    }
}

TEST_F(FirmwareTest, TransferStoresThePendingImageOnlyWhenTheVersionsDiffer)
{
    for (const bool sameVersion : {false, true}) {
        SCOPED_TRACE(sameVersion ? "same version" : "no firmware record");
        process_ = {};
        start(stick(sameVersion ? std::optional<Byte>(builtIn().header.version) : std::nullopt));
        press("bM2");
        press("bMemStore");

        EXPECT_TRUE(dialogs_.messages.empty());
        EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
        const std::size_t size = builtIn().header.size;
        const std::vector<Byte> stored = stickBytes(0x0200, size);
        if (sameVersion) {
            EXPECT_TRUE(std::all_of(stored.begin(), stored.end(), [](Byte b) { return b == 0xFF; }));
            continue;
        }
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), builtIn().image.begin()));
        const FirmwareRecord record = readFirmwareRecord(stickControlBlock());
        EXPECT_TRUE(record.isValid());
        EXPECT_EQ(record.version, builtIn().header.version);
        EXPECT_EQ(record.size, size);
        EXPECT_FALSE(window_->firmware().fwPending);
    }
}

// The failed store is reported as it happens, before the control block is written;
// the memory buttons it shows take no click while the Transfer goes on.
TEST_F(FirmwareTest, AFailedFirmwareBlockIsReportedAndTheTransferGoesOn)
{
    StickSetup lossy = stick(std::nullopt);
    lossy.lostAcknowledgement = firmwareBlockAddress(2);
    start(lossy);
    const ControlBlock before = stickControlBlock();
    press("bM2");
    test::typeInto(*window_, "eInfo", "Hall");
    std::optional<ControlBlock> atMessage;
    dialogs_.onMessage = [&](const QString&) { atMessage = stickControlBlock(); };
    bool pressedDuringTransfer = false;
    waiter_.onSleep = [&] {
        if (atMessage && !pressedDuringTransfer && shown("bM1")) {
            pressedDuringTransfer = true;
            QTest::mouseClick(element("bM1"), Qt::LeftButton);
        }
    };
    press("bMemStore");
    waiter_.onSleep = nullptr;

    EXPECT_EQ(dialogs_.messages, std::vector<QString>{"Firmware Write Error!FW"});
    ASSERT_TRUE(atMessage.has_value());
    EXPECT_EQ(*atMessage, before) << "reported before the control block went out";
    EXPECT_TRUE(pressedDuringTransfer);
    EXPECT_EQ(run().selectedSlot, 2) << "M1 took no click during the Transfer";
    EXPECT_EQ(readMemoryRecord(stickControlBlock(), 2).name(), "Hall    ") << "the control block is written";
    EXPECT_EQ(readFirmwareRecord(stickControlBlock()).signature, readFirmwareRecord(before).signature);
    EXPECT_FALSE(readFirmwareRecord(stickControlBlock()).isValid());
    EXPECT_TRUE(window_->firmware().fwPending);
    EXPECT_EQ(process_.calls, (std::vector<std::string>{"release", "start", "quit"}));
}

// A firmware file that "Load" refuses must not change what the next Transfer stores.
TEST_F(FirmwareTest, ARefusedFirmwareFileLeavesTheBuiltInImageToBeStored)
{
    char pattern[] = "/tmp/ormid-refused-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path file = fs::path(pattern) / "bad.kdp";
    ASSERT_TRUE(writeFileAtomically(file, test::firmwareText(test::firmwareLineBytes(300), 300, 0x99, 0xBEEF)).ok());
    start(stick(std::nullopt));
    press("bM2");
    dialogs_.fileName = QString::fromStdString(file.string());
    press("bLoad");
    fs::remove_all(pattern);
    ASSERT_EQ(dialogs_.messages, std::vector<QString>{"File is corrupted!"});
    press("bMemStore");

    const FirmwareRecord record = readFirmwareRecord(stickControlBlock());
    EXPECT_TRUE(record.isValid());
    EXPECT_EQ(record.version, builtIn().header.version);
    EXPECT_EQ(record.size, builtIn().header.size);
    const std::size_t blocks = firmwareBlockCount(builtIn().header.size);
    const std::vector<Byte> stored = stickBytes(0x0200, blocks * kBlockSize);
    EXPECT_TRUE(std::equal(stored.begin(), stored.begin() + builtIn().header.size, builtIn().image.begin()));
}

TEST_F(FileButtonsTest, LoadOfAFirmwareFileMakesItPendingOrSaysWhyNot)
{
    const struct {
        const char* name;
        std::string text;
        std::vector<QString> messages;
        QString hint; // of the icon afterwards
        bool pending;
        std::uint16_t fwSize;
        Byte fwVersion;
    } cases[] = {
        {"valid", test::firmwareText(test::firmwareLineBytes(300), 300, 9), {}, "Version 1.9", true, 300, 9},
        {"size field 0x3000", test::firmwareText(test::firmwareLineBytes(300), 0x3000, 9), {}, "", false, 0, 0},
        {"wrong CRC",
         test::firmwareText(test::firmwareLineBytes(300), 300, 9, 0xBEEF),
         {"File is corrupted!"},
         "",
         false,
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(parkStick(false), {"-skipFW"});
        press("bM2");
        dialogs_ = {};
        ASSERT_TRUE(writeFileAtomically(folder_ / "image.kdp", c.text).ok());
        dialogs_.fileName = path("image.kdp");
        press("bLoad");

        EXPECT_EQ(dialogs_.messages, c.messages);
        auto* icon = element<PictureLabel>("iFW");
        EXPECT_EQ(icon->isVisible(), !c.hint.isEmpty());
        if (!c.hint.isEmpty()) {
            EXPECT_EQ(icon->hint(), c.hint);
        }
        EXPECT_EQ(window_->firmware().fwPending, c.pending);
        EXPECT_EQ(window_->firmware().fwSize, c.fwSize);
        EXPECT_EQ(window_->firmware().fwVersion, c.fwVersion);
    }
}

TEST_F(FileButtonsTest, ALoadedFirmwareFileGoesIntoTheStickWithTheNextTransfer)
{
    const std::vector<Byte> lineBytes = test::firmwareLineBytes(300);
    ASSERT_TRUE(writeFileAtomically(folder_ / "image.kdp", test::firmwareText(lineBytes, 300, 9)).ok());
    dialogs_.fileName = path("image.kdp");
    press("bLoad");
    press("bMemStore");

    EXPECT_TRUE(dialogs_.messages.empty());
    const FirmwareRecord record = readFirmwareRecord(stickControlBlock());
    EXPECT_TRUE(record.isValid());
    EXPECT_EQ(record.version, 9);
    EXPECT_EQ(record.size, 300);
    const Block third = sim::readStickBlock(model_->state(), firmwareBlockAddress(2));
    EXPECT_TRUE(std::equal(third.begin(), third.begin() + 44, lineBytes.begin() + 256));
    EXPECT_TRUE(std::all_of(third.begin() + 44, third.end(), [](Byte b) { return b == 0xFF; }));
}

} // namespace
} // namespace ormid
