#!/usr/bin/env bash
# Checks what `make package` made: the Debian package's files, modes, control fields, unit and
# lintian's verdict, its monitor running on the example configuration; and the Windows zip's
# station folder with CR LF text files.
#   tests/package/check-packages.sh DEB [ZIP]
set -euo pipefail

[[ $# -ge 1 && $# -le 2 ]] || { echo "usage: $0 DEB [ZIP]" >&2 && exit 2; }
deb="$1"
zip="${2:-}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Mode, owner and path of every file; no other file, and every folder 0755.
check_deb_listing() {
    local expected="$scratch/deb.expected" actual="$scratch/deb.actual"
    sort >"$expected" <<'EOF'
-rwxr-xr-x root/root ./usr/bin/di194rs-sim
-rwxr-xr-x root/root ./usr/bin/torven-monitor
-rw-r--r-- root/root ./usr/lib/systemd/system/torven-monitor.service
-rw-r--r-- root/root ./usr/share/doc/torven-monitor/README.md
-rw-r--r-- root/root ./usr/share/doc/torven-monitor/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/torven-monitor/copyright
-rw-r--r-- root/root ./usr/share/doc/torven-monitor/examples/99-torven-ports.rules
-rw-r--r-- root/root ./usr/share/doc/torven-monitor/examples/TORVEN_config.txt
-rw-r--r-- root/root ./usr/share/lintian/overrides/torven-monitor
-rw-r--r-- root/root ./usr/share/man/man1/di194rs-sim.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/torven-monitor.1.gz
EOF
    dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' >"$scratch/deb.list"
    grep -v '^d' "$scratch/deb.list" | sort >"$actual"
    diff -u "$expected" "$actual" >&2 || fail "$deb: files differ from the expected list"
    if grep '^d' "$scratch/deb.list" | grep -v '^drwxr-xr-x root/root ' >&2; then
        fail "$deb: a folder that is not 0755 root/root"
    fi
}

# Stripped programs are left to lintian, whose errors cover them.
check_deb_contents() {
    local root="$scratch/deb"
    dpkg-deb -x "$deb" "$root"
    local unit="$root/usr/lib/systemd/system/torven-monitor.service"
    grep -qx 'ExecStart=/usr/bin/torven-monitor' "$unit" || fail "the unit runs another program"
    grep -qx 'WorkingDirectory=/srv/torven/station/bin' "$unit" || fail "the unit's station moved"
    local version
    version="$(dpkg-deb -f "$deb" Version)"
    zcat "$root/usr/share/doc/torven-monitor/changelog.Debian.gz" | head -n 1 |
        grep -qF "torven-monitor ($version)" || fail "changelog does not name version $version"
    local depends
    depends="$(dpkg-deb -f "$deb" Depends)"
    grep -q 'libc6.*libstdc++6' <<<"$depends" || fail "no computed dependencies: $depends"
    grep -q 'libmicrohttpd12' <<<"$depends" || fail "no dependency on libmicrohttpd12: $depends"
}

# The packaged monitor in a scratch station with the packaged example configuration: once it
# has loaded it, its screen dump lists the device on COM1 and both streams. COM1 points
# nowhere, so no real serial port is touched.
check_example_configuration() {
    local station="$scratch/station" console="$scratch/station/tmp/Console.txt"
    mkdir -p "$station"/{bin,Conf,EventLog,tmp,Data,ToSend,Ports}
    ln -s unplugged "$station/Ports/COM1"
    cp "$scratch/deb/usr/share/doc/torven-monitor/examples/TORVEN_config.txt" "$station/Conf/"
    (cd "$station/bin" && exec "$scratch/deb/usr/bin/torven-monitor" </dev/null >/dev/null 2>&1) &
    local monitor=$! waited=0
    until grep -q 'EX2_000001' "$console" 2>/dev/null || ! kill -0 "$monitor" 2>/dev/null || ((waited >= 600)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    for shown in 'COM1 *DI-194RS' EX1_000001 EX2_000001; do
        grep -q "$shown" "$console" 2>/dev/null || fail "the monitor did not show $shown with the example"
    done
    kill -TERM "$monitor" 2>/dev/null || true
    wait "$monitor" || true
}

check_zip() {
    local root="$scratch/zip" expected="$scratch/zip.expected" actual="$scratch/zip.actual"
    unzip -q "$zip" -d "$root"
    sort >"$expected" <<'EOF'
README.txt
station/
station/Conf/
station/Conf/TORVEN_config.txt
station/Data/
station/EventLog/
station/README.txt
station/ToSend/
station/bin/
station/bin/libmicrohttpd-12.dll
station/bin/libmicrohttpd-COPYING.txt
station/bin/libmicrohttpd-source/
station/bin/torven-monitor.exe
station/tmp/
EOF
    # One top folder; the simulator is there only where the Windows build has it.
    # The source package of the DLL goes by its Debian version: only its kinds of files count.
    unzip -Z1 "$zip" | sed 's|^[^/]*/||' | grep -v '^$' | grep -vx 'station/bin/di194rs-sim.exe' |
        grep -vE '^station/bin/libmicrohttpd-source/libmicrohttpd_[^/]+\.(dsc|orig\.tar\.xz|debian\.tar\.xz)$' |
        sort >"$actual"
    diff -u "$expected" "$actual" >&2 || fail "$zip: entries differ from the expected list"
    local top config
    top="$(echo "$root"/*)"
    config="$top/station/Conf/TORVEN_config.txt"
    file "$top/station/bin/torven-monitor.exe" | grep -q 'PE32+ executable' ||
        fail "torven-monitor.exe is not a 64-bit Windows program"
    file "$top/station/bin/libmicrohttpd-12.dll" | grep -q 'PE32+ executable (DLL)' ||
        fail "libmicrohttpd-12.dll is not a 64-bit Windows DLL"
    # The monitor needs no DLL but the system's and the one beside it.
    local imports
    imports="$(x86_64-w64-mingw32-objdump -p "$top/station/bin/torven-monitor.exe" |
        sed -n 's/^\tDLL Name: //p' | grep -viE '^(kernel32|msvcrt|ws2_32|user32|advapi32|api-ms-win-.*)\.dll$' || true)"
    [[ "$imports" == "libmicrohttpd-12.dll" ]] ||
        fail "torven-monitor.exe needs other DLLs than Windows' and libmicrohttpd-12.dll: $imports"
    grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$top/station/bin/libmicrohttpd-COPYING.txt" ||
        fail "libmicrohttpd-COPYING.txt holds no LGPL text"
    [[ $(find "$top/station/bin/libmicrohttpd-source" -name 'libmicrohttpd_*' | wc -l) -eq 3 ]] ||
        fail "the DLL's source package (.dsc, .orig.tar.xz, .debian.tar.xz) is not beside it"
    for text in "$top/README.txt" "$top/station/README.txt" "$config" \
        "$top/station/bin/libmicrohttpd-COPYING.txt"; do
        if [[ ! -s "$text" ]] || grep -qv $'\r$' "$text"; then
            fail "$text has a line without CR LF"
        fi
    done
    # The same example as the Debian package's, which the monitor was run with.
    tr -d '\r' <"$config" | cmp -s - "$scratch/deb/usr/share/doc/torven-monitor/examples/TORVEN_config.txt" ||
        fail "the zip's example configuration differs from the Debian package's"
}

check_deb_listing
check_deb_contents
check_example_configuration
echo "lintian $deb:"
lintian --fail-on error "$deb" || fail "lintian reports an error"
if [[ -n "$zip" ]]; then
    check_zip
else
    echo "check-packages: no zip given, the Windows zip is not checked"
fi
if ((failures > 0)); then
    echo "check-packages: $failures check(s) failed"
    exit 1
fi
echo "check-packages: the packages are good"
