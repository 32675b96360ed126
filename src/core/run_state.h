#pragma once
// The run flags and run state the main window owns for the whole run. Every part of
// the program reads them; each is written only by start-up and the operations that
// the flag's comment names.

#include <string>
#include <vector>

#include "core/dimming_curve.h"
#include "core/image.h"

namespace ormid {

struct RunState {
    bool formDisabled = false;      // the main panel ignores user actions
    bool demo = false;              // no stick was found
    bool HIDStatus = false;         // the stick was present when start-up's second phase ran
    bool usbStick = false;          // USB Stick mode: the stick relays to a connected device
    bool remoteMode = false;        // the stick is in remote mode
    bool modeQueryAnswered = false; // the stick answered the mode query
    bool modeButtonShown = false;   // the Erase button shows "Go2Loc" / "Go2Rem"
    // Command-line options.
    bool enableErase = false; // "-eraseAll"
    bool skipFW = false;      // "-skipFW"; also set by the remote layout
    bool copyAstro = false;   // "-copyAstro"
    bool noLoadCheck = false; // "-noLoadCheck"
    bool showLog = false;     // "-showLog"
    bool debugMode = false;   // "-debug"
    // The arguments of every self-restart: each command-line argument without "-dc=", in order.
    std::vector<std::string> restartArgs;
    int curveIndex = -1;          // selected dimming curve, -1 when none
    int selectedSlot = 0;         // 0 none, 1..4 the chosen memory
    bool curvesAvailable = false; // the curve folder offered curves at start-up
    CurvePoints dimmingCurve;     // the curve last loaded; empty when none
    // The image has been converted backward through the curve, so the curve panel's OK
    // must not convert it a second time. Cleared by start-up and the memory Cancel.
    bool inverseApplied = false;
    // A blocking stick sequence runs; its waits let window events through, and no
    // click may start a second sequence or change what the first one writes.
    bool stickBusy = false;
};

// Marks a blocking stick sequence for as long as it lives.
class StickSequence {
public:
    explicit StickSequence(RunState& run) : run_(run) { run_.stickBusy = true; }
    ~StickSequence() { run_.stickBusy = false; }
    StickSequence(const StickSequence&) = delete;
    StickSequence& operator=(const StickSequence&) = delete;

private:
    RunState& run_;
};

} // namespace ormid
