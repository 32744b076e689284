#!/usr/bin/env bash
# Sourced by the scripts that start Wine: the settings every start shares, and the loader to
# start it with, in $wine_loader.
# Wine starts 32-bit Windows programs through a 32-bit Linux loader, which a kernel without
# 32-bit support cannot run. There the tests run a 64-bit build of the same source under
# Wine's 64-bit loader instead: WINEARCH=win64, which the 64-bit build tree sets for its tests.
export WINEDEBUG=-all
# TSARIN_WINE_NATIVE_FIRST: DLL names (a,b,c) for which a DLL beside the program comes before
# Wine's own, as Windows searches for DLLs that are not known DLLs.
export WINEDLLOVERRIDES="${TSARIN_WINE_NATIVE_FIRST:+$TSARIN_WINE_NATIVE_FIRST=n,b;}winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH="${WINEARCH:-win32}"
if [ "$WINEARCH" = win64 ]; then
  wine_loader=/usr/lib/wine/wine64
  export WINELOADER=$wine_loader
else
  wine_loader=wine
fi

# A host path as Wine's drive Z: names it.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Prints which build of the Windows programs Wine can run here: win32, win64 (the kernel cannot
# run Wine's 32-bit loader, but its 64-bit one runs), or none.
wine_arch_here() {
  if wine --version >/dev/null 2>&1; then
    echo win32
  elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    echo win64
  else
    echo none
  fi
}
