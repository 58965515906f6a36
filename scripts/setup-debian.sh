#!/usr/bin/env bash
# Installs everything the build, the demo and the tests need on Debian 12.
# Idempotent: packages already present and a locale already compiled are left alone.
set -euo pipefail

# fonts-horai-umefont: Ume P Gothic stands in for the dialogs' "ＭＳ Ｐゴシック" with the same
# metrics; the IPA fonts stay for glyphs other faces lack. xorriso masters the media image;
# osslsigncode signs its exes (Authenticode) and openssl checks the certificate first.
packages=(g++-mingw-w64-i686 cmake make googletest wine wine32:i386 wine64
          xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic fonts-horai-umefont
          fonts-dejavu-core locales binutils-mingw-w64-i686 python3 xorriso osslsigncode openssl)

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
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
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
