# The Debian package (scripts/package): `cpack -G DEB` in a build folder packs what the
# install rules install, below the build's install prefix, so that the data folder
# built into the programs is the one the package fills.

set(CPACK_PACKAGE_NAME ormid-programmer)
set(CPACK_PACKAGE_VENDOR "Ormid Programmer developers")
set(CPACK_PACKAGE_CONTACT "${ORMID_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and program Ormid outdoor-luminaire controllers")
set(CPACK_PACKAGE_DESCRIPTION
    "Ormid Programmer edits the parameters of the Ormid outdoor-luminaire\n"
    "controller through function blocks, keeps configurations in files, and\n"
    "writes configurations and firmware through the USB programming stick.\n"
    "The package also holds ormid-cli, the same engine for scripts and\n"
    "production lines, and ormid-stick-sim, a programming stick simulated in\n"
    "software.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/packaging/debian/postinst
    ${PROJECT_BINARY_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
