#!/bin/sh
# Checks the packages as a player gets them. As root, the .deb is installed, its game must answer
# --version from /usr/games with the package's version and man must find its page; then it is
# removed. The Windows zip must hold the game, README.md and LICENSE, and nothing else.
# Usage: check_packages.sh DEB ZIP
set -u
deb=$1 zip=$2
fail() {
  echo "check_packages: $*" >&2
  exit 1
}

if [ "$(id -u)" -eq 0 ]; then
  version=$(dpkg-deb -f "$deb" Version) || fail "cannot read $deb"
  dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb failed"
  answer=$(/usr/games/quarvel-zib --version)
  page=$(man -w 6 quarvel-zib)
  dpkg -r quarvel-zib >/dev/null || fail "dpkg -r quarvel-zib failed"
  [ "$answer" = "quarvel-zib ${version%-*}" ] || fail "--version answered '$answer'"
  [ "$page" = /usr/share/man/man6/quarvel-zib.6.gz ] || fail "man -w 6 found '$page'"
  [ ! -e /usr/games/quarvel-zib ] || fail "dpkg -r left /usr/games/quarvel-zib"
else
  echo "check_packages: not root, so $deb is neither installed nor tried"
fi
files=$(unzip -Z1 "$zip" | sort | tr "\n" " ")
[ "$files" = "LICENSE README.md quarvel-zib.exe " ] || fail "$zip holds: $files"
echo "check_packages: $deb and $zip hold the game as a player gets it"
