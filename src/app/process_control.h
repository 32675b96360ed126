#pragma once
// What a self-restart does outside the window: hand over the single-instance guard,
// start the successor and end this run. The program does it for real; tests record it.

#include <QStringList>

namespace ormid {

class InstanceGuard;

class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // Lets the successor take the single-instance guard.
    virtual void releaseInstance() = 0;
    // Starts the program's own executable with `arguments`; false when it could not start.
    virtual bool startInstance(const QStringList& arguments) = 0;
    // Ends this run's event loop.
    virtual void quit() = 0;
};

class SystemProcessControl final : public ProcessControl {
public:
    // `guard` must outlive this object.
    explicit SystemProcessControl(InstanceGuard& guard) : guard_(guard) {}

    void releaseInstance() override;
    // A new process with an argument list, never through a shell.
    bool startInstance(const QStringList& arguments) override;
    void quit() override;

private:
    InstanceGuard& guard_;
};

} // namespace ormid
