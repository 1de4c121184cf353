#!/usr/bin/env bash
# Builds GNU libmicrohttpd for the Windows program with the MinGW-w64 cross compiler, from
# Debian's source package of the version the Linux build uses (libmicrohttpd-dev), and
# installs it under PREFIX: include/microhttpd.h, lib/libmicrohttpd.dll.a,
# bin/libmicrohttpd-12.dll, its licence text, share/doc/libmicrohttpd/COPYING, and the source
# package it was built from, share/source/libmicrohttpd/, which goes with the DLL. Linked as a
# DLL, as its licence (LGPL) asks of a program that is shipped; its C runtime parts are linked
# into it, so the DLL needs nothing but Windows. With WSAPoll (--enable-poll=yes: configure
# fails rather than leave it out), which MHD_USE_AUTO then picks, as it picks epoll on Linux.
# Does nothing when PREFIX already holds the library. Usage: build-microhttpd-mingw.sh PREFIX
set -euo pipefail

prefix=$(realpath -m "$1")
licence="$prefix/share/doc/libmicrohttpd/COPYING"
sources="$prefix/share/source/libmicrohttpd"
if [ -e "$prefix/lib/libmicrohttpd.dll.a" ] && [ -e "$licence" ] && [ -d "$sources" ]; then
    exit 0
fi
version=$(dpkg-query -W -f '${source:Version}' libmicrohttpd-dev)
work="$prefix.build"
rm -rf "$work"
mkdir -p "$work"
cd "$work"
if ! apt-get source --download-only -q "libmicrohttpd=$version" >fetch.log 2>&1; then
    echo "build-microhttpd-mingw.sh: cannot fetch Debian's source package of libmicrohttpd $version" >&2
    echo "  (apt-get source needs deb-src lines, which tools/install-test-deps.sh adds as root," >&2
    echo "  an up-to-date 'apt-get update' and the archive to be reachable); apt-get said:" >&2
    grep -E '^(E|W):' fetch.log | sed 's/^/  /' >&2 || tail -5 fetch.log | sed 's/^/  /' >&2
    exit 1
fi
dpkg-source -x --no-check ./*.dsc source >/dev/null
mkdir build
cd build
../source/configure --host=x86_64-w64-mingw32 --prefix="$prefix" --enable-shared --disable-static \
    --disable-https --disable-doc --disable-examples --disable-curl --disable-nls \
    --without-gnutls --enable-poll=yes CC=x86_64-w64-mingw32-gcc-posix LDFLAGS=-static-libgcc \
    >configure.log 2>&1 ||
    { tail -20 configure.log >&2; exit 1; }
make -j "$(nproc)" >make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
make install >install.log 2>&1 || { tail -20 install.log >&2; exit 1; }
# Shipped as it is: without the debug information configure's default -g puts in.
x86_64-w64-mingw32-strip --strip-unneeded "$prefix/bin/libmicrohttpd-12.dll"
install -D -m 644 ../source/COPYING "$licence"
mkdir -p "$sources"
install -m 644 ../*.dsc ../*.tar.* "$sources"/
cd /
rm -rf "$work"
