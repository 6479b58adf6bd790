#!/usr/bin/env bash
# Installs what the build and the tests need and fetches the third-party sources.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
third="$top/third_party"
lua_sha=2640fc56a795f29d28ef15e13c34a47e223960b0240e8cb0a82d9b0738695333

packages=(build-essential cmake dpkg-dev pkg-config patch
  libsdl1.2-dev libboost-dev libgl-dev libx11-dev
  libspng-dev libturbojpeg0-dev libgif-dev libstb-dev libwebp-dev clang
  libsdl-mixer1.2-dev libvorbis-dev vorbis-tools libxext-dev libxrandr-dev
  libgtest-dev googletest xvfb xauth xdotool imagemagick valgrind)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/debian-src.sources
need_update=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list 2>/dev/null \
   && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  as_root tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  as_root apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi

mkdir -p "$third"
cd "$third"
# apt's download user cannot write into a checkout that root owns; downloading as root is what
# apt falls back to anyway, said here so it does not warn about it.
unsandboxed=()
if [ "$(id -u)" = 0 ]; then unsandboxed=(-o APT::Sandbox::User=root); fi
if [ ! -f lua5.1_5.1.5.orig.tar.gz ]; then
  apt-get "${unsandboxed[@]}" source --download-only lua5.1 >/dev/null ||
    { apt-get update -q && apt-get "${unsandboxed[@]}" source --download-only lua5.1 >/dev/null; }
fi
if ! echo "$lua_sha  lua5.1_5.1.5.orig.tar.gz" | sha256sum -c --status; then
  echo "setup: lua5.1_5.1.5.orig.tar.gz does not have the expected SHA-256 ($lua_sha); refusing to build" >&2
  exit 1
fi
if [ ! -d luabind ]; then
  rm -rf luabind-*
  apt-get "${unsandboxed[@]}" source luabind >/dev/null 2>&1
  mv luabind-0.9.1* luabind
fi
