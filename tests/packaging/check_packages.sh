#!/bin/sh
# Checks the packages as a player gets them, without installing anything, so a copy a player
# installed stays as it is. The .deb is unpacked in a scratch folder: its game must answer
# --version with the package's version, man must format its page without a warning, and its
# desktop entry must pass desktop-file-validate and name the game and the icon it holds. The
# Windows zip must hold the game, README.txt, MANUAL.txt and LICENSE, and nothing else; the two
# texts with CR LF line ends, the manual plain text of this version's page.
# Usage: check_packages.sh DEB ZIP
fail() { echo "check_packages: $*" >&2; exit 1; }

root=$(mktemp -d) && trap 'rm -rf "$root"' EXIT && dpkg-deb -x "$1" "$root" || fail "cannot unpack $1"
version=$(dpkg-deb -f "$1" Version) && version=${version%-*}
answer=$("$root/usr/games/quarvel-zib" --version)
[ "$answer" = "quarvel-zib $version" ] || fail "--version answered '$answer'"
warnings=$(man -l --warnings=w "$root/usr/share/man/man6/quarvel-zib.6.gz" 2>&1 >/dev/null) &&
  [ -z "$warnings" ] || fail "the man page: $warnings"
entry=$root/usr/share/applications/quarvel-zib.desktop
problems=$(desktop-file-validate "$entry" 2>&1) && [ -z "$problems" ] || fail "the desktop entry: $problems"
program=$(sed -n 's/^Exec=//p' "$entry") icon=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$root$program" ] && [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
  fail "the desktop entry starts '$program' with icon '$icon', not both in $1"

files=$(unzip -Z1 "$2" | sort | tr "\n" " ")
[ "$files" = "LICENSE MANUAL.txt README.txt quarvel-zib.exe " ] || fail "$2 holds: $files"
bare=$(unzip -p "$2" README.txt MANUAL.txt | grep -c -v "$(printf '\r')\$")
[ "$bare" -eq 0 ] || fail "$2: $bare lines of README.txt and MANUAL.txt end without CR LF"
unzip -p "$2" MANUAL.txt | grep -q "$(printf '[\b\033]')" && fail "$2: MANUAL.txt is not plain text"
unzip -p "$2" MANUAL.txt | grep -q "quarvel-zib $version" || fail "$2: MANUAL.txt is not of $version"
echo "check_packages: $1 and $2 hold the game as a player gets it"
