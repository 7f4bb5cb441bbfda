#!/bin/sh
# Runs the filewatch tests under Wine with the drive letters they watch
# (q: to u:) pointed at fresh folders, through symlinks in the prefix's
# dosdevices folder, removed again afterwards.
#   wine_drives.sh LAUNCHER EXE [ARGS...]   (LAUNCHER: scripts/wine-exec)
set -u
launcher=$1
exe=$2
shift 2
prefix=${WINEPREFIX:-$HOME/.wine}
base=$(mktemp -d /tmp/torvane-fw-drives.XXXXXX)
letters="q r s t u"
for l in $letters; do
  mkdir -p "$base/$l"
  ln -sfn "$base/$l" "$prefix/dosdevices/$l:"
done
TORVANE_TEST_DRIVES=qrstu "$launcher" "$exe" "$@"
rc=$?
for l in $letters; do
  [ "$(readlink "$prefix/dosdevices/$l:")" = "$base/$l" ] && rm -f "$prefix/dosdevices/$l:"
done
rm -rf "$base"
exit $rc
