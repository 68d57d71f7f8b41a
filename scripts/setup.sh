#!/usr/bin/env bash
# Installs from Debian's archive whatever the build and the tests need (the Windows edition's
# cross compiler, Wine and NSIS among them, about 1.1 GB), then configures and builds.
# Usage: scripts/setup.sh [build folder] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    build-essential cmake pkg-config git clang-format clang libclang-rt-14-dev
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-dejavu-core
    libudev-dev
    libgtest-dev libgmock-dev
    umockdev libumockdev-dev udev
    desktop-file-utils appstream dpkg-dev lintian
    xvfb xdotool
    g++-mingw-w64-x86-64-posix wine wine64 fonts-wine nsis
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if ((${#missing[@]})); then
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build_dir" -j"$(nproc)"
