#!/usr/bin/env bash
# Regenerate the launcher artwork from scratch:
#   res/launcher.bmp  500 x 363, 8 bpp, 256-colour palette, uncompressed,
#                     5936 pixels per metre, bottom-up BMP3
#   res/launcher.ico  one 32 x 32, 16-colour (4 bpp) image with AND mask
# Needs only ImageMagick (convert) and python3 (standard library).
# Deterministic: all randomness uses fixed seeds; no network access.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RES="$(cd "$HERE/.." && pwd)"
CONVERT="${CONVERT:-/usr/bin/convert}"
PY="${PYTHON:-python3}"
FONTDIR="${FONTDIR:-/usr/share/fonts/truetype/dejavu}"
BOLD="$FONTDIR/DejaVuSans-Bold.ttf"
BOOK="$FONTDIR/DejaVuSans.ttf"
COND="$FONTDIR/DejaVuSansCondensed-Bold.ttf"

for f in "$BOLD" "$BOOK" "$COND"; do
    [ -f "$f" ] || { echo "missing font $f (apt-get install fonts-dejavu-core)" >&2; exit 1; }
done
[ -x "$CONVERT" ] || { echo "ImageMagick convert not found at $CONVERT" >&2; exit 1; }

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

# 1. Terrain / land-use map, title band, calm button panels, scale bar.
"$PY" "$HERE/terrain.py" "$TMP/map.ppm"

# 2. Lettering. The dialog shows the whole width of the picture, so the
#    title is centred on the 500-pixel width that the dialog shows.
#    Note: ImageMagick 6 keeps settings (stroke, kerning...) across the
#    parenthesised layers, so each layer resets what it must.
TITLE="VORMEL"
SUB="TERRAIN  &  LANDUSE   SETUP"
"$CONVERT" "$TMP/map.ppm" \
    \( -size 500x92 xc:none -font "$BOLD" -pointsize 60 -kerning 9 \
       -gravity north -fill 'rgba(0,0,0,0.80)' -annotate +3+14 "$TITLE" \
       -blur 0x3 \) \
    -gravity northwest -geometry +0+0 -composite \
    \( -size 500x92 xc:none -font "$BOLD" -pointsize 60 -kerning 9 \
       -gravity north -fill '#f4f8ec' -stroke '#f4f8ec' -strokewidth 0.6 \
       -annotate +1+10 "$TITLE" \) \
    -gravity northwest -geometry +0+0 -composite \
    \( -size 500x92 xc:none +stroke -font "$COND" -pointsize 12 -kerning 2.2 \
       -gravity north -fill 'rgba(0,0,0,0.6)' -annotate +2+74 "$SUB" -blur 0x1 \
       -fill '#c8e3a0' -annotate +1+73 "$SUB" \) \
    -gravity northwest -geometry +0+0 -composite \
    +stroke -kerning 0 -font "$BOOK" -pointsize 10 -gravity northwest -fill '#202820' \
    -annotate +13+330 "0" -annotate +76+330 "1 km" \
    \( -size 24x34 xc:none -stroke '#202820' -strokewidth 1 \
       -fill '#f6f2e4' -draw 'polygon 12,13 18,31 12,27' \
       -fill '#202820' -draw 'polygon 12,13 6,31 12,27' \
       -stroke none -font "$BOLD" -pointsize 11 -gravity north \
       -fill '#202820' -annotate +0+0 'N' \) \
    -gravity northwest -geometry +398+319 -composite \
    -depth 8 "$TMP/full.ppm"

# 3. Quantise to 256 colours and write an uncompressed 8-bit BMP3.
"$CONVERT" "$TMP/full.ppm" -dither FloydSteinberg -colors 256 -type Palette \
    -units PixelsPerCentimeter -density 59.36 -compress none \
    "BMP3:$TMP/launcher.bmp"
# Force full 256-entry palette and exactly 5936 pixels per metre.
"$PY" "$HERE/bmpfix.py" "$TMP/launcher.bmp"
cp "$TMP/launcher.bmp" "$RES/launcher.bmp"

# 4. Icon: 32 x 32, 16 colours, written directly (ICONDIR + DIB + AND mask).
"$PY" "$HERE/icon.py" "$TMP/launcher.ico"
cp "$TMP/launcher.ico" "$RES/launcher.ico"

echo "wrote $RES/launcher.bmp and $RES/launcher.ico"
