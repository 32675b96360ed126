#pragma once
// The single-instance guard "Ormid_Pgm": one programmer runs at a time on this
// machine; a second start ends silently before any window is shown.

#include <memory>
#include <string>

namespace ormid {

class InstanceGuard {
public:
    // Takes the lock named `name`; held until release() or destruction.
    explicit InstanceGuard(std::string name = "Ormid_Pgm");
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    // True while this process holds the lock. Only another holder refuses it: when
    // the lock cannot be set up at all, the run goes on unguarded (with a warning)
    // rather than never starting.
    bool acquired() const;
    // Lets a restarted instance take over before this one has ended.
    void release();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace ormid
