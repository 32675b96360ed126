#pragma once
// Whether the configuration the window holds is kept anywhere else: in a file, a stick
// memory, the device, or the defaults. Changes that are kept nowhere must not go with a
// self-restart before the user had the chance to save them.

#include <optional>
#include <string>

#include "core/image.h"

namespace ormid {

class KeptConfiguration {
public:
    // The window's image and the name (`eInfo`) it would save with it; both must outlive this.
    KeptConfiguration(const EeBlock& image, const std::string& name);

    // What the window holds now was read, loaded, saved, written or is the defaults.
    void keepCurrent();
    // A write broke off: the copy the configuration came from may be damaged, so only
    // the window holds it now.
    void keptNowhere();
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
