# shellcheck shell=bash
# Sourced by the scripts that build Uninstall.exe or run it under Wine:
# installs from Debian's packages whatever of the toolchain is missing.
# Usage: ensure_wine_tools wine|build   (build: the toolchain without Wine)

ensure_wine_tools() {
    local need_wine=1
    [ "$1" = "build" ] && need_wine=0
    local packages=()
    command -v cmake >/dev/null || packages+=(cmake)
    command -v make >/dev/null || packages+=(make)
    command -v x86_64-w64-mingw32-g++ >/dev/null || packages+=(g++-mingw-w64-x86-64)
    command -v x86_64-w64-mingw32-objdump >/dev/null || packages+=(binutils-mingw-w64-x86-64)
    command -v python3 >/dev/null || packages+=(python3)
    command -v sha256sum >/dev/null || packages+=(coreutils)
    command -v git >/dev/null || packages+=(git)
    if [ "$need_wine" = 1 ]; then
        # wine gives the wine command, wine64 the 64-bit loader behind it.
        { command -v wine >/dev/null && [ -x /usr/lib/wine/wine64 ]; } || packages+=(wine wine64)
        command -v wineserver >/dev/null || [ -x /usr/lib/wine/wineserver ] || packages+=(wine64)
        command -v Xvfb >/dev/null || packages+=(xvfb)
    fi
    if [ "${#packages[@]}" -gt 0 ]; then
        bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/setup.sh" "${packages[@]}" >&2 || return 1
    fi
    # Debian keeps wineserver out of PATH.
    if ! command -v wineserver >/dev/null && [ -x /usr/lib/wine/wineserver ]; then
        export PATH="$PATH:/usr/lib/wine"
    fi
}

# Build build/windows/Uninstall.exe (or the folder given) from the source tree.
build_uninstall_exe() {
    local root="$1" build="${2:-$1/build/windows}"
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target Uninstall -j 2 >/dev/null
}

# Prints the exe to use: the one given, or else build/windows/Uninstall.exe
# built from the source tree. Fails when there is no such file.
resolve_uninstall_exe() {
    local root="$1" exe="${2:-}"
    if [ -z "$exe" ]; then
        build_uninstall_exe "$root" >&2
        exe="$root/build/windows/Uninstall.exe"
    fi
    if [ ! -f "$exe" ]; then
        echo "no Uninstall.exe at $exe" >&2
        return 1
    fi
    echo "$exe"
}
