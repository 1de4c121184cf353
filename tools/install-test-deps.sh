#!/usr/bin/env bash
# Installs what building and testing need and a fresh Debian machine lacks: the compiler,
# CMake, GoogleTest, tmux for the end-to-end layer, libfaketime for its clock-step tests, and
# for the Windows stage the MinGW-w64 cross compiler, GoogleTest's sources and Wine; for
# `make package` Debian's packaging tools, lintian, unzip and file to check the packages.
set -euo pipefail

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v tmux >/dev/null || missing+=(tmux)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
[ -e /usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 ] || missing+=(faketime)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[ -e /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v wine >/dev/null || missing+=(wine)
[ -e /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v lintian >/dev/null || missing+=(lintian)
command -v unzip >/dev/null || missing+=(unzip)
command -v file >/dev/null || missing+=(file)
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
    exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
