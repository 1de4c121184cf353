#!/usr/bin/env bash
# Builds GNU libmicrohttpd for the Windows program with the MinGW-w64 cross compiler, from
# Debian's source package of the version the Linux build uses (libmicrohttpd-dev), and
# installs it under PREFIX: include/microhttpd.h, lib/libmicrohttpd.dll.a and
# bin/libmicrohttpd-12.dll. Linked as a DLL, as its licence (LGPL) asks of a program that is
# shipped; its C runtime parts are linked into it, so the DLL needs nothing but Windows.
# Does nothing when PREFIX already holds the library. Usage: build-microhttpd-mingw.sh PREFIX
set -euo pipefail

prefix=$(realpath -m "$1")
if [ -e "$prefix/lib/libmicrohttpd.dll.a" ]; then
    exit 0
fi
version=$(dpkg-query -W -f '${source:Version}' libmicrohttpd-dev)
work="$prefix.build"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
apt-get source --download-only -q "libmicrohttpd=$version" >/dev/null 2>&1 ||
    { echo "cannot fetch Debian's source of libmicrohttpd $version (is deb-src enabled?)" >&2; exit 1; }
dpkg-source -x --no-check ./*.dsc source >/dev/null
mkdir build
cd build
../source/configure --host=x86_64-w64-mingw32 --prefix="$prefix" --enable-shared --disable-static \
    --disable-https --disable-doc --disable-examples --disable-curl --disable-nls \
    --without-gnutls CC=x86_64-w64-mingw32-gcc-posix LDFLAGS=-static-libgcc >configure.log 2>&1 ||
    { tail -20 configure.log >&2; exit 1; }
make -j "$(nproc)" >make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
make install >install.log 2>&1 || { tail -20 install.log >&2; exit 1; }
cd /
rm -rf "$work"
