#pragma once
// What the main window knows about its run: the options it was started with, the mode
// start-up found, and whether the window is locked. The window owns it; its units read
// it, and write only the lock.

#include <string>
#include <vector>

namespace ormid {

// What the stick is used for, decided once by start-up.
enum class WindowMode {
    starting,     // looking for the stick; the window takes no clicks
    demo,         // no stick: the default configuration, files only
    memoryLocal,  // the stick's four memories, written in the local form
    memoryRemote, // the stick's four memories, written in the remote form
    usbStick,     // the stick relays to a connected device
    noAnswer,     // a stick answers but never delivers its memory list
};

// The programmer's command-line options, as parsed once at start-up.
struct ProgramOptions {
    bool enableErase = false; // "-eraseAll"
    bool skipFW = false;      // "-skipFW"
    bool copyAstro = false;   // "-copyAstro"
    bool noLoadCheck = false; // "-noLoadCheck"
    bool showLog = false;     // "-showLog"
    bool debugMode = false;   // "-debug"
    // The arguments of every self-restart: each command-line argument without "-dc=", in order.
    std::vector<std::string> restartArgs;
    int curveIndex = -1; // the curve "-dc=" selects, -1 when none
};

// The stick's four memories are in use, in either form.
constexpr bool isMemoryMode(WindowMode mode)
{
    return mode == WindowMode::memoryLocal || mode == WindowMode::memoryRemote;
}

struct RunState {
    ProgramOptions options;
    WindowMode mode = WindowMode::starting;
    // The stick answered the mode query with the remote mark: the blocks and fields take
    // the remote form, and its memories carry the remote signature.
    bool remoteMode = false;
    bool modeQueryAnswered = false; // the stick answered the mode query
    bool modeButtonShown = false;   // the Erase button shows "Go2Loc" / "Go2Rem"
    int selectedSlot = 0;           // 0 none, 1..4 the chosen memory
    bool formDisabled = false;      // the main panel ignores user actions
    // A blocking stick sequence runs; its waits let window events through, and no
    // click may start a second sequence or change what the first one writes.
    bool stickBusy = false;

    bool demo() const { return mode == WindowMode::demo; }
    bool usbStick() const { return mode == WindowMode::usbStick; }
    // Start-up found a stick (whether or not it then delivered its memory list).
    bool stickFound() const { return mode != WindowMode::starting && mode != WindowMode::demo; }
    // A remote stick writes no firmware, so its firmware is not compared either.
    bool skipFirmwareCheck() const { return options.skipFW || remoteMode; }
    // The mode button offers the other kind of stick: "Go2Rem" on a local one.
    bool modeSwitchToRemote() const { return modeQueryAnswered && modeButtonShown && !remoteMode; }
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
