#include "core/status_line.h"

#include <utility>

namespace ormid {

void StatusLine::setMode(std::string text)
{
    mode_ = std::move(text);
    device_.clear();
    progress_.clear();
    verdict_.clear();
}

void StatusLine::setDevice(std::string text)
{
    device_ = std::move(text);
    progress_.clear();
    verdict_.clear();
}

void StatusLine::setProgress(std::string text)
{
    progress_ = std::move(text);
    verdict_.clear();
}

void StatusLine::setVerdict(std::string text)
{
    verdict_ = std::move(text);
    progress_.clear();
}

std::string StatusLine::caption() const
{
    if (notice_)
        return *notice_;
    return mode_ + (device_.empty() ? "" : ", " + device_) + progress_ + verdict_;
}

} // namespace ormid
