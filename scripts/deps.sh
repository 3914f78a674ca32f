#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the kit.
set -euo pipefail

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
# qdkit's command line and JSON; the classic programs need neither.
[ -f /usr/include/CLI/CLI.hpp ] || missing+=(libcli11-dev)
[ -f /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
# qdkit's digests (Boost's headers) and the XML of catalogues.
[ -f /usr/include/boost/crc.hpp ] || missing+=(libboost-dev)
[ -f /usr/include/rapidxml/rapidxml.hpp ] || missing+=(librapidxml-dev)
for extra in "$@"; do
  case "$extra" in
    clang) command -v clang++ >/dev/null 2>&1 || missing+=(clang) ;;
    fuzzer) ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 \
              || missing+=(libclang-rt-dev) ;;
    clang-format) command -v clang-format >/dev/null 2>&1 || missing+=(clang-format) ;;
    benchmark) [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev) ;;
    valgrind) command -v valgrind >/dev/null 2>&1 || missing+=(valgrind) ;;
    # The Windows cross build: its compiler, and GoogleTest's source for its tests.
    mingw-x86_64) command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64) ;;
    mingw-i686) command -v i686-w64-mingw32-g++ >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686) ;;
    googletest-src) [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest) ;;
  esac
done

[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
