#!/bin/sh
# Configures and builds the three trees: build/native, build/win64, build/win32.
#   build.sh [native] [win64] [win32]   (all three when none is named)
set -e
cd "$(dirname "$0")/.."
trees=${*:-native win64 win32}
jobs=$(nproc 2>/dev/null || echo 2)
for tree in $trees; do
  case $tree in
    native) toolchain= ;;
    win64) toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ;;
    win32) toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake ;;
    *) echo "unknown tree: $tree" >&2; exit 2 ;;
  esac
  if [ ! -f "build/$tree/build.ninja" ]; then
    # ccache, when the machine has it, shares objects between checkouts of the tree.
    launcher=
    if command -v ccache >/dev/null 2>&1; then
      launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
    fi
    cmake -S . -B "build/$tree" -G Ninja $toolchain $launcher >/dev/null
  fi
  cmake --build "build/$tree" -j "$jobs"
done
