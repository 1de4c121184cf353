#!/usr/bin/env bash
# Installs what building and testing need and a fresh Debian machine lacks: the compiler,
# CMake, GoogleTest, tmux for the end-to-end layer and libfaketime for its clock-step tests.
set -euo pipefail

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v tmux >/dev/null || missing+=(tmux)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -e /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
[ -e /usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 ] || missing+=(faketime)
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
    exit 1
fi
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
