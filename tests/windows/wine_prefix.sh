#!/usr/bin/env bash
# Makes or removes the Wine prefix that the Windows tests of one test run
# share: a fresh one in a temporary directory, reached through a link at a
# fixed place so that the tests can name it.
#   wine_prefix.sh create|remove LINK
set -euo pipefail
action=$1
link=$2

export WINEDEBUG=-all
# No prompts to install Mono or Gecko, which no test needs.
export WINEDLLOVERRIDES="mscoree,mshtml="

remove() {
  [[ -L $link ]] || return 0
  WINEPREFIX=$link wineserver -k 2>/dev/null || true
  rm -rf -- "$(readlink "$link")"
  rm -f -- "$link"
}

case $action in
create)
  remove
  dir=$(mktemp -d "${TMPDIR:-/tmp}/blinkorb-wine.XXXXXX")
  ln -s "$dir" "$link"
  export WINEPREFIX=$link
  # Wine's start-up windows need an X server, which the tests do not share.
  xvfb-run --auto-servernum sh -c '
    wineboot --init &&
    # Wine draws a window into a buffer of its own that starts black, so a
    # window that paints no background would hide the desktop; drawn straight
    # on the X window it shows what lies under it, as on Windows.
    wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v ClientSideGraphics /t REG_SZ /d N /f &&
    wineserver -w'
  ;;
remove)
  remove
  ;;
*)
  echo "usage: $0 create|remove LINK" >&2
  exit 2
  ;;
esac
