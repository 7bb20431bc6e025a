#!/bin/sh
# Checks the packages as a player gets them. The .deb's man page must format without a warning. As
# root, the .deb is installed, its game must answer --version from /usr/games with the package's
# version and man must find its page; then it is removed. The Windows zip must hold the game,
# README.md and LICENSE, and nothing else.
# Usage: check_packages.sh DEB ZIP
fail() { echo "check_packages: $*" >&2; exit 1; }

warnings=$(dpkg-deb --fsys-tarfile "$1" | tar -xOf - ./usr/share/man/man6/quarvel-zib.6.gz | zcat |
  groff -man -ww -z 2>&1) && [ -z "$warnings" ] || fail "the man page: $warnings"
if [ "$(id -u)" -eq 0 ]; then
  version=$(dpkg-deb -f "$1" Version) && dpkg -i "$1" >/dev/null || fail "cannot install $1"
  answer=$(/usr/games/quarvel-zib --version) page=$(man -w 6 quarvel-zib)
  dpkg -r quarvel-zib >/dev/null && [ ! -e /usr/games/quarvel-zib ] || fail "dpkg -r left the game"
  [ "$answer" = "quarvel-zib ${version%-*}" ] || fail "--version answered '$answer'"
  [ "$page" = /usr/share/man/man6/quarvel-zib.6.gz ] || fail "man -w 6 found '$page'"
else
  echo "check_packages: not root, so $1 is neither installed nor tried"
fi
files=$(unzip -Z1 "$2" | sort | tr "\n" " ")
[ "$files" = "LICENSE README.md quarvel-zib.exe " ] || fail "$2 holds: $files"
echo "check_packages: $1 and $2 hold the game as a player gets it"
