#!/usr/bin/env bash
# Formats every man page in man/ (or the pages given) and fails on any
# warning or on a page that lacks one of the sections every page has.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v man >/dev/null 2>&1 || ! command -v preconv >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq man-db groff-base
fi

# The pages hold Japanese text, which only a UTF-8 locale can show.
export LC_ALL=C.UTF-8
export MANWIDTH=80

if [ $# -gt 0 ]; then
  pages=("$@")
else
  pages=(man/*.1)
fi
sections=(NAME SYNOPSIS DESCRIPTION FILES DIAGNOSTICS "EXIT STATUS" EXAMPLES "SEE ALSO")

failed=0
for page in "${pages[@]}"; do
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null) || warnings+=" (man failed)"
  # groff's full warning set catches more than man's default.
  strict=$(preconv "$page" | groff -man -ww -z -Tutf8 2>&1)
  if [ -n "$warnings$strict" ]; then
    echo "$page:"
    printf '%s\n' "$warnings" "$strict" | grep -v '^$'
    failed=1
  fi
  for section in "${sections[@]}"; do
    if ! grep -qx "\.SH \"\{0,1\}$section\"\{0,1\}" "$page"; then
      echo "$page: no $section section"
      failed=1
    fi
  done
  if LC_ALL=C grep -q $'[\x80-\xff]' "$page" && ! head -n 1 "$page" | grep -q 'coding: UTF-8'; then
    echo "$page: holds non-ASCII text without the coding line"
    failed=1
  fi
done

[ "$failed" -eq 0 ] || exit 1
echo "man pages: ${#pages[@]} clean"
