#!/bin/sh
# Runs a Windows program under wine for CTest: quietly, and with wine's
# server and services started apart from the program, so that they never hold
# the program's output open (CTest would wait for them to linger out). The
# first run to take the lock starts them and lets them settle; programs
# started while they still come up can fail to start or to exit.
# WINEPREFIX comes from the toolchain: a prefix in the build folder.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
flock --close "$WINEPREFIX.lock" sh -c '
  if wineserver --persistent=30; then
    wineboot
    wine cmd /c exit
  fi' </dev/null >/dev/null 2>&1
exec wine "$@"
