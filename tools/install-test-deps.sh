#!/usr/bin/env bash
# Installs what building and testing need and a fresh Debian machine lacks: the compiler,
# CMake, GoogleTest, GNU libmicrohttpd (the remote status server), tmux for the end-to-end
# layer, libfaketime for its clock-step tests, curl, promtool, Chromium and Python (its JSON
# parser) to check the remote status, and for the Windows stage the MinGW-w64 cross compiler,
# GoogleTest's sources, Wine and Debian's source of libmicrohttpd (to cross-build it); for
# `make package` Debian's packaging tools, lintian, unzip and file to check the packages.
set -euo pipefail

# Debian's source packages, for `apt-get source`, from the same archive as the binary ones.
sources_list=/etc/apt/sources.list.d/torven-sources.sources
need_update=false
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Debian's source packages (deb-src) are not enabled (run as root, or enable them)" >&2
        exit 1
    fi
    . /etc/os-release
    cat >"$sources_list" <<EOF2
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $VERSION_CODENAME-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF2
    need_update=true
fi

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v tmux >/dev/null || missing+=(tmux)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
[ -e /usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 ] || missing+=(faketime)
command -v pkg-config >/dev/null || missing+=(pkg-config)
[ -e /usr/include/microhttpd.h ] || missing+=(libmicrohttpd-dev)
command -v curl >/dev/null || missing+=(curl)
command -v python3 >/dev/null || missing+=(python3)
command -v promtool >/dev/null || missing+=(prometheus)
command -v chromium >/dev/null || missing+=(chromium)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[ -e /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v wine >/dev/null || missing+=(wine)
[ -e /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v lintian >/dev/null || missing+=(lintian)
command -v unzip >/dev/null || missing+=(unzip)
command -v file >/dev/null || missing+=(file)
if [ ${#missing[@]} -eq 0 ]; then
    if $need_update; then apt-get update -q; fi
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
    exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
