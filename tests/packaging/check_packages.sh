#!/bin/sh
# Checks the packages as a player gets them, without installing anything, so a copy a player
# installed stays as it is. The .deb must depend on libtinfo6, and is unpacked in a scratch
# folder: its game must answer
# --version with the package's version, man must format its page without a warning, its desktop
# entry must pass desktop-file-validate and name the game and the icon it holds, as SVG and as
# PNGs of 16, 32, 48 and 256 px. The Windows zip must hold one folder, quarvel-zib-VERSION, and in
# it the game, README.txt, MANUAL.txt and LICENSE.txt, and nothing else; the texts with CR LF line
# ends, the manual plain text of this version's page, written for Windows: none of the words only
# POSIX players need. SHA256SUMS beside them must hold both.
# Usage: check_packages.sh DEB ZIP
fail() { echo "check_packages: $*" >&2; exit 1; }

root=$(mktemp -d) && trap 'rm -rf "$root"' EXIT && dpkg-deb -x "$1" "$root" || fail "cannot unpack $1"
version=$(dpkg-deb -f "$1" Version) && version=${version%-*}
# The terminal's capabilities come from terminfo, through libtinfo, as every curses game's do.
dpkg-deb -f "$1" Depends | grep -q 'libtinfo6' || fail "$1 does not depend on libtinfo6"
answer=$("$root/usr/games/quarvel-zib" --version)
[ "$answer" = "quarvel-zib $version" ] || fail "--version answered '$answer'"
warnings=$(man -l --warnings=w "$root/usr/share/man/man6/quarvel-zib.6.gz" 2>&1 >/dev/null) &&
  [ -z "$warnings" ] || fail "the man page: $warnings"
entry=$root/usr/share/applications/quarvel-zib.desktop
problems=$(desktop-file-validate "$entry" 2>&1) && [ -z "$problems" ] || fail "the desktop entry: $problems"
program=$(sed -n 's/^Exec=//p' "$entry") icon=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$root$program" ] && [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
  fail "the desktop entry starts '$program' with icon '$icon', not both in $1"
for size in 16 32 48 256; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
  file "$png" | grep -q "PNG image data, $size x $size," || fail "no $size px icon: $(file "$png")"
done

top=quarvel-zib-$version
files=$(unzip -Z1 "$2" | sort | tr "\n" " ")
[ "$files" = "$top/ $top/LICENSE.txt $top/MANUAL.txt $top/README.txt $top/quarvel-zib.exe " ] ||
  fail "$2 holds: $files"
bare=$(unzip -p "$2" "$top/*.txt" | grep -c -v "$(printf '\r')\$")
[ "$bare" -eq 0 ] || fail "$2: $bare lines of its texts end without CR LF"
manual=$(unzip -p "$2" "$top/MANUAL.txt")
printf '%s' "$manual" | grep -q "$(printf '[\b\033]')" && fail "$2: MANUAL.txt is not plain text"
printf '%s' "$manual" | grep -q "quarvel-zib $version" || fail "$2: MANUAL.txt is not of $version"
posix=$(printf '%s' "$manual" | grep -o -w -E 'stty|SIGHUP|fg|printf|COLORFGBG' | sort -u | tr "\n" " ")
[ -z "$posix" ] || fail "$2: MANUAL.txt speaks of what Windows has not: $posix"

sums=$(dirname "$1")/SHA256SUMS
[ "$(dirname "$2")/SHA256SUMS" = "$sums" ] && [ "$(cut -d' ' -f3 "$sums" | tr "\n" " ")" = \
  "$(basename "$1") $(basename "$2") " ] && (cd "$(dirname "$1")" && sha256sum -c --quiet SHA256SUMS) ||
  fail "$sums does not hold the sums of both"
echo "check_packages: $1 and $2 hold the game as a player gets it"
