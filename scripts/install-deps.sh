#!/usr/bin/env bash
# Installs what the build and the tests need and a fresh machine may lack. Idempotent: packages
# already present are left alone, so this is quick on a machine that has everything.
set -euo pipefail

# With arguments, installs just those packages (scripts/run-fuzz.sh uses it for clang, make web
# for emscripten).
if [ $# -gt 0 ]; then
  packages=("$@")
else
# Build: compiler, CMake, GoogleTest, and the window program's GLUT, OpenGL and GLU.
packages=(cmake g++ libgtest-dev libgmock-dev freeglut3-dev libglu1-mesa-dev)
# zlib: the runners read runs from page addresses, compressed in the zlib format.
packages+=(zlib1g-dev)
# The core is built and tested with clang as well.
packages+=(clang-14)
# The window's end-to-end test: a virtual X server (xvfb, xauth for xvfb-run), software
# OpenGL (libgl1-mesa-dri), keys and drags (xdotool), window facts (x11-utils), screenshots
# (imagemagick) and the test driver (python3).
packages+=(xvfb xauth libgl1-mesa-dri xdotool x11-utils imagemagick python3)
# The web version: emscripten (the core for WebAssembly and node), and Chromium for the page's
# end-to-end test (driven by playwright-core from npm, tests/web/package-lock.json).
packages+=(emscripten chromium)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
