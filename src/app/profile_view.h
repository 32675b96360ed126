#pragma once
// "Profile": tonight's light of the current image. The button locks the window and
// shows the Profile panel, built on its first use; the panel's fields change the
// window's profile request (which the report's profile page takes too) and the chart
// follows them. The image is only read. Close unlocks the window.

#include <QObject>

#include "core/image.h"
#include "core/night_profile.h"
#include "core/run_state.h"

namespace ormid {

class MainPanel;
class ProfilePanel;

struct ProfileViewContext {
    RunState& run;
    const EeBlock& eeBlock;
    MainPanel& panel; // the Profile panel lies over it
    ProfileRequest& request;
};

class ProfileView final : public QObject {
    Q_OBJECT
public:
    explicit ProfileView(ProfileViewContext context, QObject* parent = nullptr);

    // "Profile": the panel opens over the blocks, the window locks.
    void open();
    // "Close": the panel goes, the window unlocks.
    void close();

private:
    ProfilePanel& panel();
    // The chart of the current image for the request.
    void drawProfile();

    ProfileViewContext context_;
    ProfilePanel* panel_ = nullptr;
};

// Where a profile starts before the user sets it: tonight at the night calculator's site.
ProfileRequest tonightAtTheCalculatorsSite();

} // namespace ormid
