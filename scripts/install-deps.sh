#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, as root.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 gcc-mingw-w64-i686
      mingw-w64-tools binutils-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth
      x11-utils x11-apps mscompress imagemagick clang libclang-rt-14-dev
      python3 hyperfine nsis xdotool evilwm
      xorriso genisoimage mtools dosfstools fuseiso fusefat osslsigncode openssl faketime locales)
for p in "${pkgs[@]}"; do
  have_pkg "$p" || need+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need+=(wine32:i386)
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "install-deps: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# Wine takes a process's ANSI code page from its locale, and turns names into
# it only when the Unix side knows that locale: Japanese (932) and
# Traditional Chinese (950) for the tests of double-byte paths.
locales=(ja_JP.UTF-8 zh_TW.UTF-8)
missing=()
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8/utf8/' <<<"$l")" || missing+=("$l")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: generating the locales ${missing[*]}"
  for l in "${missing[@]}"; do
    sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen
  done
  locale-gen >/dev/null
fi
