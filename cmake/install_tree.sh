#!/bin/sh
# install_tree.sh install BUILD PREFIX: installs what BUILD holds (korvo and
# its stub folders in PREFIX/lib/korvo, the link PREFIX/bin/korvo) and lists
# every file written, and every folder made that was not there before, in
# PREFIX/lib/korvo/install_manifest.txt.
# install_tree.sh uninstall BUILD PREFIX: removes what that list names,
# files first, then the folders that are left empty; nothing else.
set -eu
action=$1 build=$2
mkdir_made() { [ -d "$1" ] || echo "$1"; }
case "$3" in /*) prefix=$3 ;; *) prefix=$PWD/$3 ;; esac
home="$prefix/lib/korvo"
manifest="$home/install_manifest.txt"
case "$action" in
install)
    made=$(mkdir_made "$prefix"; mkdir_made "$prefix/bin"; mkdir_made "$prefix/lib"; mkdir_made "$home")
    # The folders korvo's own files go to, as they are before the install.
    stub_dirs=$(cd "$build" && find linux windows windows_xp darwin -name '*.kes' 2>/dev/null | xargs -r -n1 dirname | sort -u)
    for dir in $stub_dirs; do
        part=$home
        for piece in $(echo "$dir" | tr / ' '); do
            part=$part/$piece
            made=$(printf '%s\n%s' "$made" "$(mkdir_made "$part")")
        done
    done
    cmake --install "$build" --prefix "$prefix"
    {
        cat "$build/install_manifest.txt"
        echo
        echo "$manifest"
        # Folders deepest first, so each is empty when its turn comes.
        printf '%s\n' "$made" | grep -v '^$' | sort -u | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2- |
            sed 's|$|/|'
    } | grep -v '^$' > "$manifest.tmp"
    mv "$manifest.tmp" "$manifest"
    echo "installed under $prefix (list: $manifest)"
    ;;
uninstall)
    if [ ! -f "$manifest" ]; then
        echo "no korvo installed under $prefix ($manifest is missing)"
        exit 1
    fi
    # Read whole first: the list names itself.
    entries=$(cat "$manifest")
    printf '%s\n' "$entries" | while IFS= read -r entry; do
        case "$entry" in
        */) rmdir "$entry" 2>/dev/null && echo "removed folder $entry" || true ;;
        *) if [ -e "$entry" ] || [ -L "$entry" ]; then rm -f "$entry" && echo "removed $entry"; fi ;;
        esac
    done
    ;;
*)
    echo "usage: install_tree.sh install|uninstall BUILD PREFIX" >&2
    exit 2
    ;;
esac
