#!/bin/sh
# make clean [STAMP]: removes every build tree of the source folder (a folder
# named build or build-* holding a CMakeCache.txt), the Makefile's package
# stamp (and its folder when nothing else is in it) and, for the wine prefix
# the tests make in a tree, the wine server's folder of that prefix in /tmp
# (named after the prefix's device and inode). The tests' other scratch is in
# temporary folders they remove themselves.
set -u
cd "$(dirname "$0")/.."
for tree in build build-*; do
    [ -f "$tree/CMakeCache.txt" ] || continue
    prefix="$PWD/$tree/wineprefix"
    if [ -d "$prefix" ]; then
        command -v wineserver >/dev/null && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
        server="server-$(stat -c %D "$prefix")-$(printf %x "$(stat -c %i "$prefix")")"
        for folder in "/tmp/.wine-$(id -u)" /tmp/wine-*; do
            [ -d "$folder/$server" ] || continue
            rm -rf "$folder/$server"
            rmdir "$folder" 2>/dev/null
        done
    fi
    echo "removing $tree/"
    rm -rf "$tree"
done
# Where `make test` alone ran, build/ holds nothing but the stamp.
if [ -n "${1:-}" ] && [ -f "$1" ]; then
    rm -f "$1"
    rmdir "$(dirname "$1")" 2>/dev/null
fi
exit 0
