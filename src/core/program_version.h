#pragma once
// The version every program of the project prints for --version: the version of
// project() in the top CMakeLists.txt, the one source of it.

#include <string>
#include <string_view>

namespace ormid {

// "2.21".
std::string_view programVersion();

// What `program --version` prints: name and version, copyright and licence.
std::string versionText(std::string_view program);

} // namespace ormid
