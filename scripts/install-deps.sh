#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only those that are missing. Called by ./run.sh and ./test.sh.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache clang libclang-rt-14-dev
  libsdl2-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libturbojpeg0-dev
  liblua5.1-0-dev libfreetype-dev libfontconfig-dev libicu-dev libtinyxml-dev
  libogg-dev libtheora-dev libvorbis-dev libcurl4-openssl-dev libopenjp2-7-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev libsystemd-dev
  fonts-dejavu-core fonts-linuxlibertine xvfb xauth libxtst6 xfonts-base
  dbus-daemon vorbis-tools sox lua5.1
  libssl-dev openssl ca-certificates libwebkit2gtk-4.1-dev
)

# One query for every package: dpkg-query prints a line per package it knows
# ("ii" when installed) and complains on standard error about the others.
declare -A installed=()
while read -r name state; do
  [ "$state" = "ii" ] && installed["${name%%:*}"]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "error: packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
