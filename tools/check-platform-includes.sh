#!/usr/bin/env bash
# Fails when a source file outside the two platform implementations includes a header of an
# operating system (POSIX or Windows): the rest of the program talks to the system only
# through the interface in src/platform/*.h.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

system_headers='#include <(unistd|fcntl|termios|poll|pthread|dirent|signal|spawn|pty|dlfcn|windows|winbase|io|conio|direct|process)\.h>|#include <(sys|arpa|netinet)/'
if grep -rnE "$system_headers" src | grep -vE '^src/platform/(posix|win32)/'; then
    echo "system headers belong in src/platform/posix/ or src/platform/win32/ only" >&2
    exit 1
fi
