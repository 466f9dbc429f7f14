#!/usr/bin/env bash
# The installed runner: `cmake --install` into a temporary root puts exactly our files in
# their places, and the installed program finds its data and plays the demo headless, also
# after the whole install was moved elsewhere.
# install-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$tmp/root cmake --install "$build" --prefix /usr >/dev/null
expected="usr/bin/kelvane
usr/share/applications/kelvane.desktop
usr/share/bash-completion/completions/kelvane
usr/share/icons/hicolor/scalable/apps/kelvane.svg
usr/share/kelvane/kelvane.bmp
usr/share/man/man1/kelvane.1.gz
usr/share/mime/packages/kelvane.xml
usr/share/zsh/vendor-completions/_kelvane"
actual=$(cd "$tmp/root" && find . -type f | sed 's|^\./||' | grep -v '^usr/share/doc/kelvane/' | sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"
[ -f "$tmp/root/usr/share/doc/kelvane/README.md" ] || fail "no README in the documentation folder"

check_runs() { # PROGRAM DATA_FOLDER
    local version
    version=$("$1" --version) || fail "$1 --version failed"
    grep -qx "data folder: $2" <<<"$version" || fail "$1 finds no data in $2: $version"
    (cd "$tmp" && "$1" run --headless --steps 60 --seed 1 "$build/demo.kgame") ||
        fail "$1 did not play the demo"
}
check_runs "$tmp/root/usr/bin/kelvane" "$tmp/root/usr/share/kelvane"
# A relocated install finds its data from where it is now.
mkdir -p "$tmp/elsewhere"
mv "$tmp/root/usr" "$tmp/elsewhere/kelvane"
check_runs "$tmp/elsewhere/kelvane/bin/kelvane" "$tmp/elsewhere/kelvane/share/kelvane"
zcat "$tmp/elsewhere/kelvane/share/man/man1/kelvane.1.gz" | grep -q '^\.TH KELVANE 1' ||
    fail "the manual page has no title"
echo ok
