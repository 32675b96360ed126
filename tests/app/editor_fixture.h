#pragma once
// The window on a simulated stick, seen through the fields of its editor panels: the
// fixture of the editor tests (one test file per editor).

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <initializer_list>
#include <string>

#include "app/window_fixture.h"

namespace ormid::test {

class EditorOnStick : public WindowOnStick {
protected:
    QString text(const char* name) const { return element<QLineEdit>(name)->text(); }
    QString label(const char* name) const { return element<QLabel>(name)->text(); }
    bool ticked(const char* name) const { return element<QCheckBox>(name)->isChecked(); }
    bool enabled(const char* name) const { return element<QWidget>(name)->isEnabled(); }
    // Which of the pictures at one place is on screen.
    std::string showing(std::initializer_list<const char*> names) const
    {
        std::string seen;
        for (const char* name : names) {
            if (shown(name))
                seen += (seen.empty() ? "" : "+") + std::string(name);
        }
        return seen;
    }
    // The hold block's picture and switch.
    std::string holdBlock() const
    {
        return showing({"iTHold_en", "HOLD_dis"}) + "/" + showing({"sw_hold_on", "sw_hold_off", "SW_hold_dis"});
    }
};

} // namespace ormid::test
