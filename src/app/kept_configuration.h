#pragma once
// Whether the configuration the window holds is kept anywhere else: in a file, a stick
// memory, the device, or the defaults. Changes that are kept nowhere must not go with a
// self-restart before the user had the chance to save them.

#include <optional>
#include <string>

#include "core/image.h"

namespace ormid {

// How a new image in the window stands to the copies kept elsewhere.
enum class ImageChange {
    edited,      // the user changed it: kept nowhere until saved or written
    kept,        // read, loaded or the defaults: kept where it came from
    keptNowhere, // a write broke off or did not take: only the window holds it
};

class KeptConfiguration {
public:
    // The window's image and the name (`eInfo`) it would save with it; both must outlive this.
    KeptConfiguration(const EeBlock& image, const std::string& name);

    // What the window holds now was read, loaded, saved, written or is the defaults.
    void keepCurrent();
    // A write broke off: the copy the configuration came from may be damaged, so only
    // the window holds it now.
    void keptNowhere();
    // What a change of the image means for the kept copy: taken for `kept`, dropped for
    // `keptNowhere`, left as it was for an edit.
    void follow(ImageChange change);
    // Before the first configuration was taken there is nothing to lose.
    bool hasUnsavedChanges() const;

private:
    struct Copy {
        EeBlock image;
        std::string name;
    };

    const EeBlock& image_;
    const std::string& name_;
    bool taken_ = false;
    std::optional<Copy> kept_;
};

} // namespace ormid
