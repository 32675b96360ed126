#include "app/kept_configuration.h"

#include <utility>

namespace ormid {

KeptConfiguration::KeptConfiguration(const EeBlock& image, const std::string& name) : image_(image), name_(name)
{
}

void KeptConfiguration::keepCurrent()
{
    taken_ = true;
    kept_ = Copy{image_, name_};
}

void KeptConfiguration::keptNowhere()
{
    taken_ = true;
    kept_.reset();
}

void KeptConfiguration::follow(ImageChange change)
{
    switch (change) {
    case ImageChange::edited:
        return;
    case ImageChange::kept:
        keepCurrent();
        return;
    case ImageChange::keptNowhere:
        keptNowhere();
        return;
    }
}

bool KeptConfiguration::hasUnsavedChanges() const
{
    if (!taken_)
        return false;
    return !kept_ || kept_->image != image_ || kept_->name != name_;
}

} // namespace ormid
