# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# Shared by scripts/run and scripts/test: install what is missing, then build.
set -euo pipefail

project_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${KESTRINE_BUILD_DIR:-$project_root/build}"

required_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-svg-dev qt6-multimedia-dev libgl-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    googletest libgtest-dev libgmock-dev
    desktop-file-utils appstream bash-completion
    flac ffmpeg opus-tools mp3val
    xvfb xdotool imagemagick tesseract-ocr qt6ct
)

install_missing_packages() {
    local missing=()
    local package
    for package in "${required_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_project() {
    cmake -S "$project_root" -B "$build_dir" -G Ninja ${KESTRINE_CMAKE_ARGS:-} >/dev/null
    cmake --build "$build_dir" --parallel "$(nproc)"
}
