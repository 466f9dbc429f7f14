#!/usr/bin/env bash
# The Debian package: cpack makes build/kelvane_VERSION_ARCH.deb; it holds only our own
# paths under /usr, depends on the libraries the program links and the fonts, every
# dependency is a package this machine knows, and its program, unpacked into a temporary
# root, plays the demo headless.
# package-test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp/out" >/dev/null) || fail "cpack failed"
deb=$(ls "$tmp"/out/kelvane_*_*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = kelvane ] || fail "wrong package name"
depends=$(dpkg-deb -f "$deb" Depends)
for want in libsdl2 libsdl2-mixer libpng fonts-liberation2 fluid-soundfont-gm; do
    grep -q "$want" <<<"$depends" || fail "Depends lacks $want: $depends"
done
# Each dependency names a package Debian has (alternatives: the first).
for dep in $(tr ',' '\n' <<<"$depends" | sed 's/|.*//; s/(.*//; s/ //g'); do
    apt-cache show "$dep" >/dev/null 2>&1 || dpkg-query -W "$dep" >/dev/null 2>&1 ||
        fail "unknown dependency $dep"
done
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -E \
    '^\./(usr/?|usr/(bin|share)/?|usr/bin/kelvane|usr/share/(kelvane|doc/kelvane|man/man1|applications|mime/packages|icons/hicolor/scalable/apps|bash-completion/completions|zsh/vendor-completions)(/.*)?|usr/share/(man|mime|icons|icons/hicolor|icons/hicolor/scalable|bash-completion|zsh|doc)/)$' || true)
[ -z "$outside" ] || fail "files outside our paths: $outside"
dpkg-deb -x "$deb" "$tmp/root"
(cd "$tmp" && "$tmp/root/usr/bin/kelvane" run --headless --steps 60 --seed 1 "$build/demo.kgame") ||
    fail "the packaged program did not play the demo"
echo ok
