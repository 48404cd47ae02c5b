#!/bin/sh
# Installs into a scratch prefix and checks what lands there; the man page must render
# without a single groff warning.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/opfreq"
test -f "$prefix/share/man/man1/opfreq.1"
if ! command -v groff >/dev/null; then
  echo "groff is not installed: the man page was not rendered"
  exit 77
fi
warnings=$(groff -ww -z -man "$prefix/share/man/man1/opfreq.1" 2>&1)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
echo "installed bin/opfreq and share/man/man1/opfreq.1; the page renders cleanly"
