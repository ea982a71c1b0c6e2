#!/usr/bin/env bash
# Runs a Windows program under Wine, on a virtual display, in a prefix of the
# build's own, so that test runs never touch the user's Wine or screen.
#   QM_WINE_DIR      where the prefix and the display number live (default build/wine)
#   QM_USE_DISPLAY=1 keep the caller's $DISPLAY instead of the virtual one
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
qm_wine_setup || exit 125
exec wine "$@"
