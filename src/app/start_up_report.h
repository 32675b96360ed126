#pragma once
// What a run tells the outside world once start-up has finished, for scripts and
// end-to-end tests that have no eyes on the window:
//   ORMID_STATUS_FILE=path  one line "pid mode arguments..." (mode: demo, memory or usb)
//   ORMID_SCREENSHOT=path   a picture of the window; the run then ends
//   ORMID_SHOWN_FILE=path   one line "pid", written as soon as the window is first shown
//                           and the event loop has turned once, before start-up looks
//                           for the stick and chooses the mode (times the start to the window)
//   ORMID_UI_DUMP=path      a JSON snapshot of the window (ui_dump.h), again on every SIGUSR1

#include <string>

#include "core/run_state.h"

namespace ormid {

class MainWindow;

// "demo", "usb" or "memory".
const char* runModeName(const RunState& run);

// The status line: the process id, the mode and the restart arguments, blank-separated.
std::string startUpStatusLine(long long processId, const RunState& run);

// Connects `window` so that it reports as the environment asks once start-up is done.
void reportStartUpFromEnvironment(MainWindow& window);

} // namespace ormid
