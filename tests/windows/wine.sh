# Sourced by the Windows test scripts: checks for the tools they run, and
# gives them a Wine prefix of their own in build-windows/, quiet and without
# the Mono and Gecko installers, made once; the Wine server goes at exit.
for tool in x86_64-w64-mingw32-g++-posix wine wineserver script; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows: $tool not found (apt-get install g++-mingw-w64-x86-64 wine64 wine bsdutils)" >&2
    exit 1
  fi
done

export WINEPREFIX=$root/build-windows/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot --init >/dev/null 2>&1 || true
  timeout 120 wineserver -w || true
fi
