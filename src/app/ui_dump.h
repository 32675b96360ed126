#pragma once
// The window as data, for scripts that drive it with real X input: every named
// widget and every visible window with its text, state and place on the screen,
// and the image. ORMID_UI_DUMP names the file (see start_up_report.h).

#include <QJsonDocument>
#include <QObject>
#include <QString>

#include <signal.h>

class QSocketNotifier;

namespace ormid {

class MainWindow;

// {"caption", "image" (upper-case hex of every image byte), "formDisabled", "widgets": [...]}.
// One widget entry per named widget of any window and per visible window, the main
// window first; geometry in global screen coordinates, so a script clicks the centre.
QJsonDocument uiSnapshot(const MainWindow& window);

// Writes the snapshot to a file on request and whenever the process receives
// SIGUSR1. The signal handler only wakes the event loop through a socket pair;
// the snapshot is taken there. One per process: it owns SIGUSR1 while it lives.
class UiDumper final : public QObject {
public:
    UiDumper(QString path, const MainWindow& window, QObject* parent = nullptr);
    ~UiDumper() override;
    UiDumper(const UiDumper&) = delete;
    UiDumper& operator=(const UiDumper&) = delete;

    // Writes the snapshot atomically; a failure is reported on stderr.
    void dump() const;

private:
    void onSignalled();

    QString path_;
    const MainWindow& window_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_ {};
};

} // namespace ormid
