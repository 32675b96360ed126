#!/usr/bin/env bash
# Checks a Debian package of the programmer: unpacked into an empty folder (dpkg -x), its
# programs run there on the system's libraries alone, and it carries the desktop entry,
# icon, metainfo, file types, udev rule, man pages, bash completion and data files.
#
#   check_package.sh PACKAGE.deb PREFIX      PREFIX: the install prefix it was built for
set -uo pipefail

package=$1
prefix=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
usr=$root$prefix

failures=0
checks=0
check() {
    local what=$1
    shift
    checks=$((checks + 1))
    if ! "$@" >"$work/out" 2>&1; then
        echo "FAIL: $what"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    fi
}
contains() { grep -qE -- "$2" "$1"; }
output_contains() {
    local pattern=$1
    shift
    "$@" >"$work/output" 2>&1 && grep -qE -- "$pattern" "$work/output" || { cat "$work/output"; false; }
}
# No library a program needs is missing or found outside the system's folders.
system_libraries_only() {
    ldd "$1" >"$work/ldd" || return 1
    ! grep -E 'not found|'"$work" "$work/ldd" && ! readelf -d "$1" | grep -E 'RPATH|RUNPATH'
}
png_of_size() { file "$1" | grep -q "PNG image data, $2 x $2,"; }
page_of() { zcat "$1" | grep -qE "^\.TH $2 \"1\""; }

dpkg -x "$package" "$root" || { echo "FAIL: dpkg -x $package"; exit 1; }
dpkg-deb -e "$package" "$work/control" || { echo "FAIL: dpkg-deb -e $package"; exit 1; }

version=$(dpkg-deb -f "$package" Version)
check "the package is ormid-programmer" test "$(dpkg-deb -f "$package" Package)" = ormid-programmer
check "dpkg-shlibdeps named the Qt and hidapi packages" output_contains 'libqt6widgets6.*libhidapi-hidraw0|libhidapi-hidraw0.*libqt6widgets6' dpkg-deb -f "$package" Depends
for script in postinst postrm; do
    check "maintainer script $script" test -x "$work/control/$script"
    for tool in "udevadm control --reload-rules" update-mime-database update-desktop-database; do
        check "$script runs $tool" contains "$work/control/$script" "^ +$tool "
    done
done

app=org.ormid.Programmer
files=(
    bin/ormid-programmer bin/ormid-cli bin/ormid-stick-sim
    share/ormid/ormid.kdp share/ormid/samples/street.kdc share/ormid/pdf.ini
    share/ormid/DimmingCurve/linear.dc share/ormid/DimmingCurve/square-law.dc share/ormid/DimmingCurve/logarithmic.dc
    share/applications/$app.desktop share/metainfo/$app.metainfo.xml
    share/icons/hicolor/scalable/apps/$app.svg
    share/mime/packages/ormid-programmer.xml
    share/man/man1/ormid-cli.1.gz share/man/man1/ormid-stick-sim.1.gz share/man/man1/ormid-programmer.1.gz
    share/bash-completion/completions/ormid-cli
    share/doc/ormid-programmer/copyright share/doc/ormid-programmer/changelog.gz
)
for file in "${files[@]}"; do
    check "$prefix/$file is in the package" test -f "$usr/$file"
done
for size in 16 24 32 48 64 128 256; do
    check "the ${size}x$size icon" png_of_size "$usr/share/icons/hicolor/${size}x$size/apps/$app.png" "$size"
done

for program in ormid-programmer ormid-cli ormid-stick-sim; do
    check "$program needs only the system's libraries" system_libraries_only "$usr/bin/$program"
done
cd "$work"
check "ormid-cli --help" output_contains '^Usage: ormid-cli' env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" --help
check "ormid-cli new -o x.kdc" env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" new -o x.kdc
check "ormid-cli check x.kdc" output_contains '^valid: yes' env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" check x.kdc
check "the installed firmware container is valid" output_contains '^kind: firmware container' \
    env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" check "$usr/share/ormid/ormid.kdp"
check "the installed sample is valid" output_contains '^valid: yes' \
    env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" check "$usr/share/ormid/samples/street.kdc"
check "ormid-cli report of the installed sample" output_contains '^Wrote street.pdf' \
    env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" report "$usr/share/ormid/samples/street.kdc" -o street.pdf --project Street
check "ormid-stick-sim --help" output_contains '^Usage: ormid-stick-sim' env -u LD_LIBRARY_PATH "$usr/bin/ormid-stick-sim" --help
check "ormid-cli --version is the package's" output_contains "^ormid-cli $version\$" env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" --version
check "ormid-programmer --version is the package's, without a display" output_contains "^ormid-programmer $version\$" \
    env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/ormid-programmer" --version
check "ormid-cli night" output_contains '^10:46$' \
    env -u LD_LIBRARY_PATH "$usr/bin/ormid-cli" night --lat 50 --date 2014-03-30 --twilight -3

maintainer="Ormid Programmer developers <ormid-programmer@users.noreply.github.com>"
check "the package's maintainer" test "$(dpkg-deb -f "$package" Maintainer)" = "$maintainer"
check "the changelog names the maintainer" output_contains "^ -- $maintainer  " zcat "$usr/share/doc/ormid-programmer/changelog.gz"
copyright=$usr/share/doc/ormid-programmer/copyright
check "the copyright file is machine-readable" contains "$copyright" '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$'
check "the copyright file gives the MIT licence (Expat) for every file" \
    output_contains '^License: Expat$' grep -A2 '^Files: \*$' "$copyright"
check "the copyright file holds the licence's text" contains "$copyright" '^ Permission is hereby granted, free of charge'
check "the copyright file names the contact" contains "$copyright" "^Upstream-Contact: $maintainer\$"

check "the desktop entry is valid" desktop-file-validate "$usr/share/applications/$app.desktop"
check "the desktop entry starts the installed programmer" contains "$usr/share/applications/$app.desktop" '^Exec=ormid-programmer$'
check "the metainfo is valid" appstreamcli validate --no-net "$usr/share/metainfo/$app.metainfo.xml"
check "the metainfo's licence is MIT" contains "$usr/share/metainfo/$app.metainfo.xml" '<project_license>MIT</project_license>'
check "the metainfo's newest release is the package's version" contains "$usr/share/metainfo/$app.metainfo.xml" "<release version=\"$version\""
for type in configuration firmware dimming-curve; do
    check "the file type application/x-ormid-$type" contains "$usr/share/mime/packages/ormid-programmer.xml" "type=\"application/x-ormid-$type\""
done
rule=$(cd "$usr/lib/udev/rules.d" 2>/dev/null && ls -- *ormid*.rules 2>/dev/null)
check "one udev rule for the stick" test "$(grep -c . <<<"$rule")" -eq 1
check "udev reads the rule before 73-seat-late.rules grants what the uaccess tag asks" test "$rule" \< 73-seat-late.rules
check "the udev rule lets the logged-in user open the stick" contains "$usr/lib/udev/rules.d/$rule" \
    '^KERNEL=="hidraw\*", ATTRS\{idVendor\}=="03eb", ATTRS\{idProduct\}=="2013", .*TAG\+="uaccess"'
check "the man page of ormid-cli" page_of "$usr/share/man/man1/ormid-cli.1.gz" ORMID-CLI
check "the man page of ormid-stick-sim" page_of "$usr/share/man/man1/ormid-stick-sim.1.gz" ORMID-STICK-SIM
check "the man page of ormid-programmer" page_of "$usr/share/man/man1/ormid-programmer.1.gz" ORMID-PROGRAMMER
check "the bash completion is a bash script for ormid-cli" contains "$usr/share/bash-completion/completions/ormid-cli" '^complete .*ormid-cli$'

echo "package check of $(basename "$package"): $checks checks, $failures failed"
[[ $failures -eq 0 ]]
