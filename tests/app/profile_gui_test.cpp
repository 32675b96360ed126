// "Profile" in the window: the panel built on its first opening, its chart following
// the fields as the user types and clicks, and the image left alone.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QImage>
#include <QTest>

#include <cstdlib>

#include "app/profile_panel.h"
#include "app/window_fixture.h"

namespace ormid {
namespace {

class ProfileGuiTest : public test::WindowOnStick {
protected:
    const ProfileChart& chart() const { return element<ProfileChartView>("iProfileChart")->chart(); }
    QImage chartPicture() const { return element<ProfileChartView>("iProfileChart")->grab().toImage(); }
    // The user clicks a date or time field, selects its first section (`width`
    // characters) from the keyboard and types the digits; each section passes to the
    // next as it fills. Then Return.
    void typeDigits(const char* name, int width, const QString& digits)
    {
        QWidget* field = element(name);
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(8, field->height() / 2));
        QTest::keyClick(field, Qt::Key_Home);
        for (int i = 0; i < width; ++i)
            QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClicks(field, digits);
        QTest::keyClick(field, Qt::Key_Return);
    }
};

TEST_F(ProfileGuiTest, TheButtonBuildsThePanelOnceLocksTheWindowAndLeavesTheImage)
{
    editMemory(makeDefaultImage());
    const EeBlock before = image();
    EXPECT_EQ(window_->findChild<QWidget*>(QStringLiteral("pProfile")), nullptr) << "built only when first opened";
    press("bProfile");
    ASSERT_TRUE(shown("pProfile"));
    const QWidget* panel = element("pProfile");
    EXPECT_TRUE(run().formDisabled);
    // Tonight at the night calculator's site.
    const QDate today = QDate::currentDate();
    EXPECT_EQ(element<QDateEdit>("eProfileDate")->date(), today);
    EXPECT_EQ(element<QDoubleSpinBox>("eProfileLat")->value(), 50);
    EXPECT_EQ(element<QDoubleSpinBox>("eProfileTwilight")->value(), -3);
    EXPECT_TRUE(chart().title.starts_with(today.toString(QStringLiteral("dd.MM.yyyy")).toStdString())) << chart().title;
    EXPECT_EQ(chart().caption.front().rfind("Estimate: ", 0), 0u) << "the caption says it is an estimate";
    EXPECT_FALSE(chart().profile.levels.empty());

    press("bProfileClose");
    EXPECT_FALSE(shown("pProfile"));
    EXPECT_FALSE(run().formDisabled);
    press("bProfile");
    EXPECT_EQ(element("pProfile"), panel) << "the same panel again";
    press("bProfileClose");
    EXPECT_EQ(image(), before);
}

TEST_F(ProfileGuiTest, TypingADateMovesTheChart)
{
    editMemory(makeDefaultImage());
    press("bProfile");
    typeDigits("eProfileDate", 4, QStringLiteral("20171221"));
    ASSERT_EQ(element<QDateEdit>("eProfileDate")->date(), QDate(2017, 12, 21));
    const ProfileChart winter = chart();
    const QImage winterPicture = chartPicture();
    EXPECT_TRUE(winter.title.starts_with("21.12.2017, N 50")) << winter.title;

    typeDigits("eProfileDate", 4, QStringLiteral("20170621"));
    ASSERT_EQ(element<QDateEdit>("eProfileDate")->date(), QDate(2017, 6, 21));
    const ProfileChart summer = chart();
    EXPECT_TRUE(summer.title.starts_with("21.06.2017, N 50")) << summer.title;
    // The summer night is shorter: switch-on later, switch-off earlier, another saving.
    EXPECT_GT(summer.profile.switchOn, winter.profile.switchOn);
    EXPECT_LT(summer.profile.switchOff, winter.profile.switchOff);
    EXPECT_NE(summer.caption.front(), winter.caption.front());
    EXPECT_NE(chartPicture(), winterPicture) << "the chart on screen moved";

    // An LSt event adds engine 2's marks.
    const auto lstMarks = [&] {
        const auto& marks = chart().profile.marks;
        return std::count_if(marks.begin(), marks.end(),
                             [](const ProfileMark& m) { return m.kind == ProfileMarkKind::lstEvent; });
    };
    EXPECT_EQ(lstMarks(), 0);
    press("cbProfileLst");
    typeDigits("eProfileLst", 2, QStringLiteral("2300"));
    EXPECT_EQ(lstMarks(), 1);
    press("bProfileClose");
}

} // namespace
} // namespace ormid
