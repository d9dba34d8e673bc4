#!/usr/bin/env bash
# Installs the normal build into a temporary prefix and checks what a user
# gets there: the libraries are found, every command runs from anywhere, the
# installed lab is found by name, every command has a valid man page, the
# desktop entry validates. Then builds the Debian package and checks it the
# same way in a temporary root, plus its dependencies and lintian's verdict.
# The demo run happens inside the simulator's lab, on loopback only.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
b="$CORVIN_OUT/normal"
if [ ! -f "$b/build.ninja" ]; then
    b="$CORVIN_OUT/package"
    "$root/scripts/build.sh" "$b" -DCORVIN_WERROR=ON || { echo "package: build FAILED"; exit 1; }
fi
cmake --build "$b" -j "${JOBS:-$(nproc)}" >/dev/null || { echo "package: build FAILED"; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

passed=0; failed=0
check() { # check "what" command...
    local what="$1"; shift
    if "$@" >"$tmp/out" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "package: FAILED: $what"; tail -20 "$tmp/out"
    fi
}
has() { command -v "$1" >/dev/null 2>&1; }

no_missing_libraries() { # dir
    local f out=0
    for f in "$1"/bin/* "$1"/lib*/lib*.so.*; do
        [ -f "$f" ] || continue
        if ldd "$f" | grep -q "not found"; then echo "$f:"; ldd "$f" | grep "not found"; out=1; fi
    done
    return $out
}
every_command_answers_version() { # dir; the main program's command line is fixed
    local f
    for f in "$1"/bin/*; do
        [ "$(basename "$f")" = corvintracer ] && continue
        (cd / && env -u LD_LIBRARY_PATH "$f" --version) | grep -q "^$(basename "$f") " || return 1
    done
}
every_command_has_a_man_page() { # dir
    local f page out=0
    for f in "$1"/bin/*; do
        page="$1/share/man/man1/$(basename "$f").1.gz"
        if [ ! -f "$page" ]; then echo "no man page for $(basename "$f")"; out=1; continue; fi
        if has groff; then
            zcat "$page" | groff -man -ww -z 2>"$tmp/groff"
            if [ -s "$tmp/groff" ]; then echo "$page:"; cat "$tmp/groff"; out=1; fi
        fi
    done
    return $out
}
shipped_files_present() { # dir
    local f out=0
    for f in bin/corvintracer bin/corvintracer-scan bin/corvin-sim bin/portquest-list \
             share/corvintracer/labs/default.lab share/applications/corvintracer.desktop \
             share/icons/hicolor/scalable/apps/corvintracer.svg; do
        [ -f "$1/$f" ] || { echo "missing $f"; out=1; }
    done
    for f in "$root"/docs/*.md; do
        [ -f "$1/share/corvintracer/docs/$(basename "$f")" ] || { echo "missing docs/$f"; out=1; }
    done
    for f in "$root"/lang/*.[lL][wW][dD]; do
        [ -e "$f" ] || continue
        [ -f "$1/share/corvintracer/lang/$(basename "$f")" ] || { echo "missing lang/$f"; out=1; }
    done
    return $out
}
libraries_have_sonames() { # dir
    local lib
    for lib in koralink portquest; do
        readelf -d "$1"/lib*/lib$lib.so.1 | grep -q "SONAME.*\[lib$lib.so.1\]" || return 1
    done
}
installed_demo_runs() { # dir: the lab found by name, from another directory
    (cd / && "$1/bin/corvin-sim" --lab default.lab -- "$1/bin/corvintracer-scan" --skip-baud) |
        grep -q "FT232R USB UART (COM34)"
}
desktop_entry_valid() { # dir
    has desktop-file-validate || { echo "desktop-file-validate not installed"; return 0; }
    desktop-file-validate "$1/share/applications/corvintracer.desktop"
}
installed_tree_checks() { # label dir
    check "$1: shipped files" shipped_files_present "$2"
    check "$1: libraries with SONAME" libraries_have_sonames "$2"
    check "$1: every library found" no_missing_libraries "$2"
    check "$1: --version from anywhere" every_command_answers_version "$2"
    check "$1: man pages" every_command_has_a_man_page "$2"
    check "$1: desktop entry" desktop_entry_valid "$2"
    check "$1: demo in the installed lab" installed_demo_runs "$2"
}

echo "package: install into a temporary prefix"
prefix="$tmp/prefix/usr/local"
check "cmake --install" cmake --install "$b" --prefix "$prefix"
installed_tree_checks "install" "$prefix"

if ! has dpkg-shlibdeps || ! has dpkg-deb; then
    echo "package: dpkg-dev not installed; the Debian package is SKIPPED (not built)"
else
    echo "package: Debian package"
    check "cpack -G DEB" bash -c "cd '$b' && cpack -G DEB -B '$tmp/cpack'"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$b/CMakeCache.txt")
    deb="$tmp/cpack/corvintracer_${version}_$(dpkg --print-architecture).deb"
    check "package file name" test -f "$deb"
    check "computed dependencies" bash -c \
        "dpkg-deb -f '$deb' Depends | grep -q 'libqt6widgets6' && dpkg-deb -f '$deb' Depends | grep -q 'libc6'"
    # Without maintainer scripts "apt remove" leaves no trace; the library
    # cache follows through dpkg's ldconfig trigger.
    check "no maintainer scripts, ldconfig trigger" bash -c \
        "! dpkg-deb -I '$deb' | grep -Eq ' (pre|post)(inst|rm) ' && dpkg-deb -I '$deb' triggers | grep -q ldconfig"
    check "unpack into a temporary root" dpkg-deb -x "$deb" "$tmp/root"
    installed_tree_checks "package" "$tmp/root/usr"
    if has lintian; then
        check "lintian" lintian --fail-on error,warning "$deb"
    else
        echo "package: lintian not installed, not run"
    fi
fi

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
