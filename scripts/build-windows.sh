#!/usr/bin/env bash
# Cross-builds the kit for Windows with MinGW-w64 (installing the toolchain
# with apt-get when it is missing): the programs land as
# build-windows/bin/<Name>.exe, linked statically.
#   ARCH=i686 for 32-bit Windows (build dir build-windows32 then);
#   BUILD_DIR to build elsewhere; further arguments go to cmake, e.g.
#   -DKIT_TESTS=ON to build the tests as well (run them with
#   scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=${ARCH:-x86_64}
case "$arch" in
  x86_64) triplet=x86_64-w64-mingw32 toolchain=cmake/toolchain-mingw64.cmake
          build=${BUILD_DIR:-build-windows} ;;
  i686) triplet=i686-w64-mingw32 toolchain=cmake/toolchain-mingw32.cmake
        build=${BUILD_DIR:-build-windows32} ;;
  *) echo "ARCH must be x86_64 or i686" >&2; exit 2 ;;
esac

extras=("mingw-$arch")
for arg in "$@"; do
  [ "$arg" = -DKIT_TESTS=ON ] && extras+=(googletest-src)
done
bash scripts/deps.sh "${extras[@]}"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DKIT_TESTS=OFF -DKIT_QDKIT=ON "$@"
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)"

# Only Windows' own DLLs may remain.
status=0
for exe in "$build"/bin/*.exe; do
  for dll in $("$triplet-objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p'); do
    case "$(echo "$dll" | tr '[:upper:]' '[:lower:]')" in
      kernel32.dll | user32.dll | shell32.dll | ole32.dll | msvcrt.dll | advapi32.dll \
        | api-ms-win-crt-*.dll | ucrtbase.dll) ;;
      *) echo "$exe needs $dll" >&2; status=1 ;;
    esac
  done
done
[ "$status" -eq 0 ] || exit 1
ls "$build"/bin/*.exe
