// "PDF" in the window: the project panel, the save dialog and the file it writes, used
// with the mouse and the keyboard as a user does; the file is read back with poppler.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/window_fixture.h"
#include "files/atomic_file.h"
#include "files/pdf_text.h"
#include "files/report_header.h"
#include "files/report_images.h"
#include "temp_folder.h"

namespace ormid {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class PdfReportTest : public test::WindowOnStick {
protected:
    void SetUp() override { WindowOnStick::SetUp(); }

    // M1 of a memory stick holds the full image and is chosen: the panel is unlocked.
    void startWithFullImage()
    {
        start(test::memoryStick().withMemory(1, test::fullReportImage(), "Lamp"), {"-skipFW"});
        press("bM1");
        ASSERT_FALSE(run().formDisabled);
    }
    void type(const char* field, const QString& text)
    {
        press(field);
        QTest::keyClicks(element<QLineEdit>(field), text);
    }
    QString text(const char* name) const { return element<QLineEdit>(name)->text(); }
    // The names of the files in the test's folder.
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), folder_).string());
        }
        return names;
    }
    std::optional<test::PdfReadBack> readBack(const std::string& name) const
    {
        const FileReadResult file = readWholeFile(folder_ / name);
        EXPECT_TRUE(file.ok()) << file.error;
        return test::readPdf(file.bytes);
    }

    test::TempFolder temp_{"ormid_pdf"};
    const fs::path folder_ = temp_.path();
};

TEST_F(PdfReportTest, PdfShowsTheProjectPanelLockedWithTheFocusOnName)
{
    startWithFullImage();
    EXPECT_FALSE(shown("pPdfProjectName"));
    press("bPdf");
    ASSERT_TRUE(shown("pPdfProjectName"));
    EXPECT_EQ(element<QGroupBox>("pPdfProjectName")->title(), "Project");
    EXPECT_TRUE(run().formDisabled);
    EXPECT_EQ(window_->focusWidget(), element("eProjectName"));

    // Typed straight away, the text goes into "Name"; each field takes its most characters.
    QTest::keyClicks(window_->focusWidget(), QString(60, QLatin1Char('N')));
    type("eLuminaire", QString(30, QLatin1Char('L')));
    type("eDriver", QString(30, QLatin1Char('D')));
    EXPECT_EQ(text("eProjectName"), QString(50, QLatin1Char('N')));
    EXPECT_EQ(text("eLuminaire"), QString(25, QLatin1Char('L')));
    EXPECT_EQ(text("eDriver"), QString(25, QLatin1Char('D')));

    // Locked: the blocks open no editor.
    press("Dali");
    EXPECT_FALSE(shown("pOutput"));
    press("bPdfCancel");
    EXPECT_FALSE(shown("pPdfProjectName"));
    EXPECT_FALSE(run().formDisabled);
    EXPECT_TRUE(dialogs_.fileDialogs.empty()) << "Cancel asks for no file";
    EXPECT_TRUE(files().empty());
}

TEST_F(PdfReportTest, OkSavesTheReportUnderTheChosenNameEndingInPdf)
{
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {
        {"street", "street.pdf"},           {"street.txt", "street.pdf"},
        {"street.v2.PDF", "street.v2.pdf"}, {"my.folder/street", "my.folder/street.pdf"},
        {".street", ".street.pdf"},
    };
    fs::create_directories(folder_ / "my.folder");
    startWithFullImage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        dialogs_.fileDialogs.clear();
        dialogs_.fileName = QString::fromStdString((folder_ / c.chosen).string());
        press("bPdf");
        element<QLineEdit>("eProjectName")->clear();
        type("eProjectName", QStringLiteral("Ringstraße"));
        press("bPdfOK");

        ASSERT_EQ(dialogs_.fileDialogs.size(), 1u);
        EXPECT_EQ(dialogs_.fileDialogs[0].title, "PDF");
        EXPECT_EQ(dialogs_.fileDialogs[0].filter, "PDF (*.pdf)");
        EXPECT_EQ(dialogs_.fileDialogs[0].suffix, "pdf");
        EXPECT_EQ(files(), std::vector<std::string>{c.written});
        const auto pdf = readBack(c.written);
        ASSERT_TRUE(pdf);
        ASSERT_EQ(pdf->pages.size(), 2u);
        const Lines line0 = test::reportLine(pdf->pages[0], 0);
        ASSERT_GE(line0.size(), 2u);
        EXPECT_EQ(line0[1], "160:Ringstraße");
        EXPECT_FALSE(shown("pPdfProjectName"));
        EXPECT_FALSE(run().formDisabled);
        EXPECT_TRUE(dialogs_.messages.empty());
        fs::remove(folder_ / c.written);
    }
}

TEST_F(PdfReportTest, ReturnInAFieldConfirmsAndTheFieldsKeepTheirText)
{
    startWithFullImage();
    dialogs_.fileName = QString::fromStdString((folder_ / "lamp.pdf").string());
    press("bPdf");
    type("eProjectName", QStringLiteral("Park"));
    type("eLuminaire", QStringLiteral("LED 40W"));
    type("eDriver", QStringLiteral("D-1"));
    QTest::keyClick(element<QLineEdit>("eDriver"), Qt::Key_Return);

    EXPECT_FALSE(shown("pPdfProjectName"));
    const auto pdf = readBack("lamp.pdf");
    ASSERT_TRUE(pdf);
    EXPECT_EQ(test::reportLine(pdf->pages[0], 1), (Lines{"50:Luminaire :", "160:LED 40W", "300:Driver :", "350:D-1"}));

    press("bPdf");
    EXPECT_EQ(text("eProjectName"), "Park");
    EXPECT_EQ(text("eLuminaire"), "LED 40W");
    EXPECT_EQ(text("eDriver"), "D-1");
}

// The profile page follows the report only while its box is ticked, for the night the
// Profile panel is set to (tonight at N 50 until the user sets another).
TEST_F(PdfReportTest, TheProfileBoxAddsTheProfilePage)
{
    startWithFullImage();
    dialogs_.fileName = QString::fromStdString((folder_ / "lamp.pdf").string());
    const std::string tonight = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")).toStdString();
    const struct {
        bool tick;
        std::size_t pages;
    } cases[] = {{false, 2}, {true, 3}, {true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pages);
        press("bPdf");
        const auto* box = element<QCheckBox>("cbPdfProfile");
        EXPECT_NE(box->text().toStdString().find(tonight + ", N 50"), std::string::npos) << box->text().toStdString();
        if (c.tick)
            press("cbPdfProfile");
        press("bPdfOK");
        const auto pdf = readBack("lamp.pdf");
        ASSERT_TRUE(pdf);
        ASSERT_EQ(pdf->pages.size(), c.pages);
        EXPECT_EQ(test::reportLine(pdf->pages.back(), 0) == Lines{"50:Tonight's light (an estimate)"}, c.pages == 3);
        fs::remove(folder_ / "lamp.pdf");
    }
}

TEST_F(PdfReportTest, ACancelledSaveDialogWritesNothingAndUnlocks)
{
    startWithFullImage();
    dialogs_.fileName.reset();
    press("bPdf");
    type("eProjectName", QStringLiteral("Park"));
    press("bPdfOK");
    EXPECT_EQ(dialogs_.fileDialogs.size(), 1u);
    EXPECT_TRUE(files().empty());
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_FALSE(shown("pPdfProjectName"));
    EXPECT_FALSE(run().formDisabled);
}

TEST_F(PdfReportTest, AFailedWriteSaysSoAndKeepsTheOldFile)
{
    startWithFullImage();
    const struct {
        const char* name;
        fs::path chosen;
    } cases[] = {
        {"a folder that does not exist", folder_ / "missing" / "lamp.pdf"},
        {"a folder in the file's place", folder_ / "taken.pdf"},
    };
    fs::create_directories(folder_ / "taken.pdf");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.messages.clear();
        dialogs_.fileName = QString::fromStdString(c.chosen.string());
        press("bPdf");
        press("bPdfOK");
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_TRUE(dialogs_.messages[0].startsWith("The report could not be saved: "))
            << dialogs_.messages[0].toStdString();
        EXPECT_EQ(dialogs_.messageKinds[0], UserDialogs::Kind::critical);
        EXPECT_TRUE(files().empty()) << "no half-written file, no temporary left";
        EXPECT_FALSE(shown("pPdfProjectName"));
        EXPECT_FALSE(run().formDisabled);
    }
}

// pdf.ini in the user's data folder gives the address lines (resource_locator.h).
TEST_F(PdfReportTest, TheAddressLinesComeFromPdfIni)
{
    const fs::path data = folder_ / "data";
    fs::create_directories(data / "ormid");
    ASSERT_TRUE(writeFileAtomically(data / "ormid" / "pdf.ini", "[Header]\nLine1=Acme Lighting\n").ok());
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);

    startWithFullImage();
    dialogs_.fileName = QString::fromStdString((folder_ / "lamp.pdf").string());
    press("bPdf");
    press("bPdfOK");
    if (previous)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");

    const auto pdf = readBack("lamp.pdf");
    ASSERT_TRUE(pdf);
    for (const auto& page : pdf->pages) {
        EXPECT_EQ(test::phraseAt(page, 200, 795).value_or(test::PdfPhrase{}).text, "Acme Lighting");
        EXPECT_EQ(test::phraseAt(page, 200, 780).value_or(test::PdfPhrase{}).text, kDefaultLine2);
    }
}

} // namespace
} // namespace ormid
