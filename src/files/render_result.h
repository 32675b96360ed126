#pragma once
// What a cairo drawing gives: the bytes of the file drawn, or why it failed.

#include <string>

namespace ormid {

struct RenderResult {
    std::string bytes;
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

} // namespace ormid
