#!/usr/bin/env bash
# Desktop integration: the desktop entry is valid; the MIME database, built with our rule,
# recognises the demo as a game file (by name and by content) and, with a Windows
# executable header, as a game executable, while other executables stay executables; bash
# completes commands, options and game files.
# desktop-test.sh SOURCE_DIR BUILD_DIR MIME_GUESS
set -euo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) guess=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

desktop-file-validate "$src/data/kelvane.desktop" || fail "desktop entry not valid"

mkdir -p "$tmp/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$tmp/mime/packages/"
cp "$src/data/kelvane-mime.xml" "$tmp/mime/packages/kelvane.xml"
PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database "$tmp/mime" 2>/dev/null || fail "update-mime-database refused the rule"
demo=$build/demo.kgame
mkdir "$tmp/files"
cd "$tmp/files"
cp "$demo" demo.kgame
cp "$demo" game.dat
(printf 'MZ' && tail -c +3 "$demo") >demo.exe
cp demo.exe demo-without-extension
(printf 'MZ' && head -c 1999998 /dev/zero | tr '\0' 'x') >other.exe
# Each line: file, name to guess from ("-": content only), expected type.
while read -r file name want; do
    got=$(XDG_DATA_DIRS=$tmp XDG_DATA_HOME=$tmp/none "$guess" "$file" "$name")
    [ "$got" = "$want" ] || fail "$file (name $name): $got, expected $want"
done <<'CASES'
demo.kgame demo.kgame application/x-kelvane-game
demo.kgame - application/x-kelvane-game
game.dat game.dat application/x-kelvane-game
demo.exe demo.exe application/x-kelvane-game-executable
demo-without-extension - application/x-kelvane-game-executable
other.exe other.exe application/x-ms-dos-executable
other.exe - application/x-ms-dos-executable
CASES
# The runner plays the executable form too.
"$build/kelvane" run --headless --steps 10 --seed 1 demo.exe || fail "demo.exe does not play"

# Bash completion, driven as bash drives it.
if [ -f /usr/share/bash-completion/bash_completion ]; then
    mkdir -p "$tmp/bin" && ln -s "$build/kelvane" "$tmp/bin/kelvane"
    complete_line() { # WORDS... -> the completions of the last word
        PATH=$tmp/bin:$PATH bash -c '
            source /usr/share/bash-completion/bash_completion
            source "$0"
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _kelvane kelvane "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
            printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
            "$src/data/completions/kelvane.bash" "$@"
    }
    mkdir sub && touch notes.txt
    [ "$(complete_line kelvane r)" = "run " ] || fail "command: $(complete_line kelvane r)"
    got=$(complete_line kelvane run --he)
    [ "$got" = "--headless --help " ] || fail "run options: $got"
    got=$(complete_line kelvane run "")
    [ "$got" = "demo.exe demo.kgame game.dat other.exe sub " ] || fail "game files: $got"
    [ "$(complete_line kelvane f)" = "fuse " ] || fail "command: $(complete_line kelvane f)"
    got=$(complete_line kelvane fuse "")
    [ "$got" = "demo.exe demo.kgame game.dat other.exe sub " ] || fail "fuse game files: $got"
    got=$(complete_line kelvane run --cd "")
    [ "$got" = "sub " ] || fail "--cd folders: $got"
    got=$(complete_line kelvane run --audio-out no)
    [ "$got" = "notes.txt " ] || fail "--audio-out files: $got"
    got=$(complete_line kelvane run --mu)
    [ "$got" = "--mute " ] || fail "run options: $got"
fi
echo ok
