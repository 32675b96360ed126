// Where the window places a box it asks for at a position of its own.

#include "app/user_dialogs.h"

#include <gtest/gtest.h>

namespace ormid {
namespace {

TEST(PlaceInWindow, CountsFromTheWindowAndKeepsTheBoxInsideItAndOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize box(400, 150);
    const struct {
        const char* name;
        QRect window;
        QPoint expected;
    } cases[] = {
        {"the window at the screen's corner", QRect(0, 0, 928, 620), QPoint(400, 350)},
        {"a window elsewhere takes the box along", QRect(500, 300, 928, 620), QPoint(900, 650)},
        {"past the right and bottom edges it moves back inside", QRect(100, 100, 700, 450), QPoint(400, 400)},
        {"a window smaller than the box: its top left", QRect(100, 100, 300, 120), QPoint(100, 100)},
        {"a window reaching off the screen: the box stays on it", QRect(1400, 800, 928, 620), QPoint(1520, 930)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placeInWindow(QPoint(400, 350), box, c.window, screen), c.expected);
    }
}

} // namespace
} // namespace ormid
