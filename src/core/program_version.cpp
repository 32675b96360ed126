#include "core/program_version.h"

namespace ormid {

std::string_view programVersion()
{
    return ORMID_VERSION; // set for this file alone by src/core/CMakeLists.txt
}

std::string versionText(std::string_view program)
{
    return std::string(program) + " " + std::string(programVersion())
        + "\nCopyright (C) 2026 The Ormid Programmer developers\nLicensed under the MIT License.\n";
}

} // namespace ormid
