#pragma once
// "PDF": the report of the current image. The button locks the window and shows the
// project panel (with the profile page's tick box); OK prints the report, asks where to save it and writes it
// atomically; Cancel, a cancelled save dialog and a failed write leave nothing behind. Either way the panel goes and
// the window is unlocked.

#include <QObject>

#include "core/image.h"
#include "core/night_profile.h"
#include "core/run_state.h"

namespace ormid {

class MainPanel;
class ProjectPanel;
class UserDialogs;

struct PdfReportContext {
    RunState& run;
    const EeBlock& eeBlock;
    MainPanel& panel; // the project panel lies over it
    UserDialogs& dialogs;
    const ProfileRequest& profile; // the night of the profile page, when it is ticked
};

class PdfReport final : public QObject {
    Q_OBJECT
public:
    explicit PdfReport(PdfReportContext context, QObject* parent = nullptr);

    // "PDF": the project panel opens, the window locks.
    void open();
    // The project panel's OK and Cancel.
    void printAndClose();
    void cancel();

private:
    // Builds the report and saves it where the user chooses.
    void printReport();
    void close();

    PdfReportContext context_;
    ProjectPanel* projectPanel_ = nullptr;
};

} // namespace ormid
