#!/bin/sh
# install_tree.sh install BUILD PREFIX [DESTDIR]: installs what BUILD holds
# (korvo and its stub folders in PREFIX/lib/korvo, the link PREFIX/bin/korvo,
# the README in PREFIX/share/doc/korvo) and lists every file written, and
# every folder made that was not there before, in
# PREFIX/lib/korvo/install_manifest.txt.
# install_tree.sh uninstall BUILD PREFIX [DESTDIR]: removes what that list
# names, files first, then the folders that are left empty; nothing else.
# With DESTDIR (a packager's staging folder) everything, the list included,
# goes below DESTDIR; the list names the paths as they will be once the
# staged tree is unpacked at /, so a later uninstall with the same DESTDIR,
# or without one on the target machine, finds them.
set -eu
action=$1 build=$2
case "$3" in /*) prefix=$3 ;; *) prefix=$PWD/$3 ;; esac
destdir=${4:-}
case "$destdir" in "" | /*) ;; *) destdir=$PWD/$destdir ;; esac
destdir=${destdir%/}
home="$prefix/lib/korvo"
manifest="$destdir$home/install_manifest.txt"
# Prints PATH (as installed, without DESTDIR) when it does not exist yet.
mkdir_made() { [ -d "$destdir$1" ] || echo "$1"; }
case "$action" in
install)
    made=""
    # The prefix's own folders too: below a fresh DESTDIR, even usr/ is new.
    part=""
    for piece in $(echo "${prefix#/}" | tr / ' '); do
        part=$part/$piece
        made=$(printf '%s\n%s' "$made" "$(mkdir_made "$part")")
    done
    for dir in "$prefix/bin" "$prefix/lib" "$home" "$prefix/share" "$prefix/share/doc" "$prefix/share/doc/korvo"; do
        made=$(printf '%s\n%s' "$made" "$(mkdir_made "$dir")")
    done
    # The folders korvo's own files go to, as they are before the install.
    stub_dirs=$(cd "$build" && find linux windows windows_xp darwin -name '*.kes' 2>/dev/null | xargs -r -n1 dirname | sort -u)
    for dir in $stub_dirs; do
        part=$home
        for piece in $(echo "$dir" | tr / ' '); do
            part=$part/$piece
            made=$(printf '%s\n%s' "$made" "$(mkdir_made "$part")")
        done
    done
    # An install over an earlier one keeps what that one made: the folders it
    # created exist now, and only the old list still knows they are ours.
    previous=""
    [ -f "$manifest" ] && previous=$(cat "$manifest")
    DESTDIR=$destdir cmake --install "$build" --prefix "$prefix"
    {
        # cmake lists the staged paths; the list keeps the installed ones.
        sed "s|^$destdir/|/|" "$build/install_manifest.txt"
        echo
        echo "${manifest#"$destdir"}"
        printf '%s\n' "$previous" | grep -v '/$' || true
        # Folders deepest first, so each is empty when its turn comes.
        { printf '%s\n' "$made" | sed 's|$|/|'; printf '%s\n' "$previous" | grep '/$' || true; } |
            grep -v '^/$' | sort -u | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-
    } | grep -v '^$' | awk '!seen[$0]++' > "$manifest.tmp"
    mv "$manifest.tmp" "$manifest"
    echo "installed under $destdir$prefix (list: $manifest)"
    ;;
uninstall)
    if [ ! -f "$manifest" ]; then
        echo "no korvo installed under $destdir$prefix ($manifest is missing)"
        exit 1
    fi
    # Read whole first: the list names itself.
    entries=$(cat "$manifest")
    printf '%s\n' "$entries" | while IFS= read -r entry; do
        case "$entry" in
        */) rmdir "$destdir$entry" 2>/dev/null && echo "removed folder $destdir$entry" || true ;;
        *) if [ -e "$destdir$entry" ] || [ -L "$destdir$entry" ]; then rm -f "$destdir$entry" && echo "removed $destdir$entry"; fi ;;
        esac
    done
    ;;
*)
    echo "usage: install_tree.sh install|uninstall BUILD PREFIX [DESTDIR]" >&2
    exit 2
    ;;
esac
