#!/usr/bin/env bash
# Makes the Debian package of a build folder with CPack, in a temporary folder so that
# the build folder keeps no package, and checks it with check_package.sh.
#
#   package_test.sh CPACK BUILD-FOLDER PREFIX
set -uo pipefail

cpack=$1
build=$2
prefix=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
"$(dirname "$0")/check_package.sh" "$work"/*.deb "$prefix"
