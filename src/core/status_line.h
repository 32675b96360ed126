#pragma once
// The window caption, kept as the parts that make it up. Each part is set by the unit
// that knows it; the caption is rendered from the parts and never read back.

#include <optional>
#include <string>

namespace ormid {

class StatusLine {
public:
    // What the program is doing or connected as ("Loading", "Ormid", "USB Stick", ...);
    // clears every other part.
    void setMode(std::string text);
    // The device that announced itself behind the stick, shown after the mode and a comma;
    // clears the progress and the verdict.
    void setDevice(std::string text);
    // A running count or the dots of a wait; replaces the verdict.
    void setProgress(std::string text);
    void addProgressDot() { progress_ += '.'; }
    // A wait for the stick shows one dot per this many collector cycles.
    static constexpr int kCyclesPerDot = 10;
    // How the last operation ended; replaces the progress.
    void setVerdict(std::string text);
    // A notice that stands instead of the caption while it is set (a stick pulled out
    // while the window holds unsaved work); clearing it brings the caption back.
    void setNotice(std::optional<std::string> text) { notice_ = std::move(text); }
    bool hasNotice() const { return notice_.has_value(); }

    std::string caption() const;

private:
    std::string mode_;
    std::string device_;
    std::string progress_;
    std::string verdict_;
    std::optional<std::string> notice_;
};

} // namespace ormid
