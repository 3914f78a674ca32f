#!/bin/sh
# Runs a Windows program under wine for CTest: quietly, and with wine's
# server and services started apart from the program, so that they never hold
# the program's output open (CTest would wait for them to linger out).
# WINEPREFIX comes from the toolchain: a prefix in the build folder.
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wineserver --persistent=30 </dev/null >/dev/null 2>&1
wineboot </dev/null >/dev/null 2>&1
exec wine "$@"
