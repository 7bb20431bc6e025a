#!/bin/sh
# Installs the build into a scratch prefix: the game must land executable in bin/, its man page
# in MANDIR/man6, and groff must format the installed page without a single warning.
# Usage: check_install.sh CMAKE BUILD_DIR PREFIX MANDIR
set -u
cmake=$1 build=$2 prefix=$3 mandir=$4
fail() {
  echo "check_install: $*" >&2
  exit 1
}

rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" || fail "cmake --install failed"
game=$prefix/bin/quarvel-zib
page=$prefix/$mandir/man6/quarvel-zib.6
[ -f "$game" ] && [ -x "$game" ] || fail "no executable $game"
[ -f "$page" ] || fail "no man page $page"

command -v groff >/dev/null || fail "groff is needed to check the man page"
# -z: format and discard, so only groff's complaints are left, on stderr.
warnings=$(groff -man -ww -z "$page" 2>&1 >/dev/null) || fail "groff failed on $page: $warnings"
[ -z "$warnings" ] || fail "groff warns about $page:
$warnings"
echo "check_install: $game and $page installed, the page formats cleanly"
