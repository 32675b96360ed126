// The window snapshot that scripts read: a real main window in demo mode and the
// other windows a run may show beside it.

#include "app/ui_dump.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_doubles.h"
#include "app/window_fixture.h"

namespace ormid {
namespace {

using namespace std::chrono_literals;

class UiDumpTest : public test::WindowOnStick {
protected:
    void SetUp() override
    {
        WindowOnStick::SetUp();
        // Away from the screen's corner, so that window and screen coordinates differ.
        position_ = QPoint(37, 53);
        // No stick: demo mode, the default image and an unlocked panel.
        start(test::noStick());
    }

    // The snapshot as a script reads it: through its JSON text.
    QJsonObject snapshot() const
    {
        QCoreApplication::processEvents();
        QJsonParseError error{};
        const QJsonDocument parsed = QJsonDocument::fromJson(uiSnapshot(*window_).toJson(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return parsed.object();
    }

    // The entries that hold every field of `fields` with its value.
    static std::vector<QJsonObject> entriesWith(const QJsonObject& snapshot, const QJsonObject& fields)
    {
        std::vector<QJsonObject> found;
        for (const QJsonValue& widget : snapshot[QStringLiteral("widgets")].toArray()) {
            const QJsonObject entry = widget.toObject();
            const QStringList keys = fields.keys();
            if (std::all_of(keys.begin(), keys.end(), [&](const QString& key) { return entry[key] == fields[key]; }))
                found.push_back(entry);
        }
        return found;
    }
    // The one entry of that name; an empty object and a failure when there is none or more.
    static QJsonObject entryNamed(const QJsonObject& snapshot, const char* name)
    {
        const std::vector<QJsonObject> found = entriesWith(snapshot, {{"name", QString::fromLatin1(name)}});
        EXPECT_EQ(found.size(), 1u) << name;
        return found.size() == 1 ? found.front() : QJsonObject();
    }
};

std::string upperHex(const EeBlock& bytes)
{
    std::string hex;
    for (const Byte byte : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        hex += pair;
    }
    return hex;
}

TEST_F(UiDumpTest, SnapshotShowsTheMainWindowAsTheUserSeesIt)
{
    QTest::mouseClick(element("cbShowHints"), Qt::LeftButton);
    auto* progress = test::element<QProgressBar>(*window_, "pbFWUpdate");
    progress->setRange(0, 88);
    progress->setValue(17);

    const QJsonObject shot = snapshot();

    EXPECT_EQ(shot["caption"].toString(), "Demo Mode");
    const std::string image = upperHex(window_->eeBlock());
    ASSERT_NE(image.find_first_of("ABCDEF"), std::string::npos) << "the case of the hex digits must show";
    EXPECT_EQ(shot["image"].toString().toStdString(), image);
    EXPECT_EQ(shot["formDisabled"], QJsonValue(false));

    const struct {
        const char* name;
        const char* className;
        bool visible;
        const char* text; // nullptr: the entry has no text
    } cases[] = {
        {"bLoad", "QPushButton", true, "Load"},
        {"bM2", "QPushButton", false, "M2"},
        {"lMinLevel", "ormid::PictureLabel", true, "Min. Level=0%"},
        {"Memo1", "QPlainTextEdit", false, "Approx. transfer duration:"},
        {"lOp", "QLabel", false, ""}, // not hidden itself: its group is
        {"pbFWUpdate", "QProgressBar", false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject entry = entryNamed(shot, c.name);
        EXPECT_EQ(entry["class"].toString(), c.className);
        EXPECT_EQ(entry["visible"], QJsonValue(c.visible));
        EXPECT_EQ(entry["enabled"], QJsonValue(true));
        if (c.text != nullptr) {
            EXPECT_EQ(entry["text"].toString(), c.text);
        } else {
            EXPECT_FALSE(entry.contains("text"));
        }
        EXPECT_FALSE(entry.contains("checked")) << "not a check box";
        const QWidget* widget = element(c.name);
        EXPECT_EQ(entry["width"].toInt(), widget->width());
        EXPECT_EQ(entry["height"].toInt(), widget->height());
        if (c.visible) {
            // Where a script clicks: the centre of the reported rectangle.
            const QPoint centre(entry["x"].toInt() + entry["width"].toInt() / 2,
                                entry["y"].toInt() + entry["height"].toInt() / 2);
            EXPECT_EQ(QApplication::widgetAt(centre), widget);
        }
    }

    EXPECT_EQ(entryNamed(shot, "cbShowHints")["checked"], QJsonValue(true));
    EXPECT_EQ(entryNamed(shot, "cbStickDebug")["checked"], QJsonValue(false));
    const QJsonObject bar = entryNamed(shot, "pbFWUpdate");
    EXPECT_EQ(bar["value"], QJsonValue(17));
    EXPECT_EQ(bar["minimum"], QJsonValue(0));
    EXPECT_EQ(bar["maximum"], QJsonValue(88));
    EXPECT_FALSE(entryNamed(shot, "bLoad").contains("value"));
}

TEST_F(UiDumpTest, SnapshotListsEveryShownWindowWithItsNamedWidgets)
{
    QMessageBox message(QMessageBox::Warning, QStringLiteral("Ormid"), QStringLiteral("Transfer Error!"),
                        QMessageBox::Ok, window_.get());
    message.setObjectName(QStringLiteral("mbTransfer")); // a named child window is still listed once
    message.show();

    QDialog curves;
    curves.setWindowTitle(QStringLiteral("Curves"));
    auto* list = new QListWidget(&curves);
    list->setObjectName(QStringLiteral("lbCurves"));
    list->addItems({QStringLiteral("Linear"), QStringLiteral("Log"), QStringLiteral("Step")});
    list->setCurrentRow(1);
    auto* combo = new QComboBox(&curves);
    combo->setObjectName(QStringLiteral("cbCurve"));
    combo->addItems({QStringLiteral("D1"), QStringLiteral("D2")});
    auto* slider = new QSlider(&curves);
    slider->setObjectName(QStringLiteral("tbLevel"));
    slider->setRange(10, 90);
    slider->setValue(40);
    curves.show();

    QDialog neverShown;
    neverShown.setWindowTitle(QStringLiteral("Never shown"));
    (new QLineEdit(&neverShown))->setObjectName(QStringLiteral("eNeverShown"));

    QWidget minimized;
    minimized.setWindowTitle(QStringLiteral("Minimized"));
    (new QLabel(QStringLiteral("Hours"), &minimized))->setObjectName(QStringLiteral("lMinimized"));
    minimized.showMinimized();

    const QJsonObject shot = snapshot();

    const struct {
        const char* title; // the text of the window's entry
        const char* className;
        int entries; // 0: only a shown window is listed
    } windows[] = {
        {"Demo Mode", "ormid::MainWindow", 1},
        {"Transfer Error!", "QMessageBox", 1}, // a message box shows its message, not its title
        {"Curves", "QDialog", 1},
        {"Never shown", "QDialog", 0},
        {"Minimized", "QWidget", 0},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.title);
        const std::vector<QJsonObject> found
            = entriesWith(shot, {{"class", w.className}, {"text", QString::fromLatin1(w.title)}});
        ASSERT_EQ(static_cast<int>(found.size()), w.entries);
        if (w.entries == 1) {
            EXPECT_EQ(found.front()["visible"], QJsonValue(true));
        }
    }

    const QJsonObject listEntry = entryNamed(shot, "lbCurves");
    EXPECT_EQ(listEntry["items"].toArray(), QJsonArray({"Linear", "Log", "Step"}));
    EXPECT_EQ(listEntry["index"], QJsonValue(1));
    const QJsonObject comboEntry = entryNamed(shot, "cbCurve");
    EXPECT_EQ(comboEntry["items"].toArray(), QJsonArray({"D1", "D2"}));
    EXPECT_EQ(comboEntry["index"], QJsonValue(0));
    const QJsonObject sliderEntry = entryNamed(shot, "tbLevel");
    EXPECT_EQ(sliderEntry["value"], QJsonValue(40));
    EXPECT_EQ(sliderEntry["minimum"], QJsonValue(10));
    EXPECT_EQ(sliderEntry["maximum"], QJsonValue(90));
    EXPECT_EQ(sliderEntry["visible"], QJsonValue(true));

    // Named widgets of windows that show nothing are there, and say so.
    EXPECT_EQ(entryNamed(shot, "eNeverShown")["visible"], QJsonValue(false));
    EXPECT_EQ(entryNamed(shot, "lMinimized")["visible"], QJsonValue(false));
}

} // namespace
} // namespace ormid
