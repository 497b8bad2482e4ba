#!/usr/bin/env bash
# bench/bench_package.sh DIR
# Stages the benchmark package into DIR (made anew): about 30 files and 3 to
# 5 MB, the content of an installer: 32-bit Windows DLLs and EXEs that Wine
# installs, license texts, images.
set -eu
pkg=$1
pe_dir=/usr/lib/i386-linux-gnu/wine/i386-windows
rm -rf "$pkg"
mkdir -p "$pkg"

# 20 PE files of 60 to 400 KB, in name order, at most 3.2 MB together.
total=0
count=0
while read -r file; do
  size=$(stat -c %s "$file")
  [ $((total + size)) -gt 3200000 ] && continue
  cp -p "$file" "$pkg/"
  total=$((total + size))
  count=$((count + 1))
  [ $count -ge 20 ] && break
done < <(find "$pe_dir" -maxdepth 1 \( -name '*.dll' -o -name '*.exe' \) -size +60k -size -400k | sort)

# Texts.
for text in GPL-3 LGPL-2.1 Apache-2.0 Artistic MPL-2.0 GFDL-1.3; do
  [ -f "/usr/share/common-licenses/$text" ] && cp -p "/usr/share/common-licenses/$text" "$pkg/$text.txt"
done

# Images: ImageMagick's built-in pictures, as an installer's bitmaps and
# PNGs, and any PNG the machine keeps in /usr/share.
if command -v convert >/dev/null; then
  convert logo: "$pkg/logo.bmp"
  convert rose: -resize 300% "$pkg/rose.bmp"
  convert wizard: "$pkg/wizard.png"
  convert granite: -resize 200% "$pkg/granite.png"
fi
find /usr/share -maxdepth 3 -name '*.png' -size +8k 2>/dev/null | sort | head -2 | while read -r png; do
  cp -p "$png" "$pkg/"
done
