#pragma once
// What the buttons of the main panel's action bar ask the window to do.

namespace ormid {

// What an action-bar button asks for.
enum class Action {
    memory1,
    memory2,
    memory3,
    memory4,
    memCancel,
    memStore,
    memClear,
    erase,
    load,
    save,
    pdf,
    profile,
    updateFw,
    reread,
};

// 1..4 for the memory buttons, 0 for the others.
int memoryNumber(Action action);

} // namespace ormid
