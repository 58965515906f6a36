#!/usr/bin/env bash
# Installs everything the build, the demo and the tests need on Debian 12 or 13.
# Idempotent: packages already present and a locale already compiled are left alone.
# 32-bit Wine is installed only where the host runs 32-bit programs (host-arch.sh); the
# x86-64 MinGW-w64 compiler and 64-bit Wine always, for hosts that cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/host-arch.sh

# fonts-horai-umefont: Ume P Gothic stands in for the dialogs' "ＭＳ Ｐゴシック" with the same
# metrics; the IPA fonts stay for glyphs other faces lack. xorriso masters the media image;
# osslsigncode signs its exes (Authenticode) and openssl checks the certificate first.
# clang-tidy reads the product's sources for faults the compiler does not see.
packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make googletest wine wine64
          xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic fonts-horai-umefont
          fonts-dejavu-core locales binutils-mingw-w64-i686 python3 xorriso osslsigncode openssl
          clang-tidy)
wine32=0
if vormel_host_runs_32bit; then
  wine32=1
  packages+=(wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

need_locale=0
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || need_locale=1

if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "setup-debian.sh: missing ${missing[*]:-the ja_JP.UTF-8 locale}; run as root to install" >&2
  exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
  if [ $wine32 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine switches to the Japanese ANSI code page only when the glibc locale exists.
if [ $need_locale -eq 1 ]; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
