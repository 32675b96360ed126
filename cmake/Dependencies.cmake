# Third-party libraries as imported targets, so that the rest of the build
# names them the same way on every platform.

# hidapi: a CMake config on most platforms; Debian ships only pkg-config files,
# split by backend, and the hidraw backend is the one that serves the stick.
find_package(hidapi CONFIG QUIET)
if(TARGET hidapi::hidraw)
  add_library(ormid_hidapi ALIAS hidapi::hidraw)
elseif(TARGET hidapi::hidapi)
  add_library(ormid_hidapi ALIAS hidapi::hidapi)
else()
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
  add_library(ormid_hidapi ALIAS PkgConfig::HIDAPI)
endif()

if(NOT ORMID_FUZZ) # the fuzz build has no window
  find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
endif()

# cairo draws the PDF report (PDF surface) and its PNG previews; plain C, no window needed.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
