#!/usr/bin/env bash
# Regenerate the launcher artwork from scratch:
#   res/launcher.bmp      500 x 363, the picture at 100 % (96 DPI)
#   res/launcher-200.bmp  1000 x 726, the same picture drawn for 200 % (192 DPI); the
#                         launcher reduces it for the scales between
#   both 8 bpp, 256-colour palette, uncompressed, bottom-up BMP3, 5936 pixels per
#   metre at 100 % (twice that at 200 %)
#   res/launcher.ico      one 32 x 32, 16-colour (4 bpp) image with AND mask
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

# The picture at S times the design size (500 x 363): every place, size and font size
# of the lettering is in design pixels, multiplied by S. $1: S, $2: the BMP to write.
draw_picture() {
    local S=$1 out=$2
    local W=$((500 * S)) BAND=$((92 * S))
    px() { awk -v v="$1" -v s="$S" 'BEGIN {printf "%g", v * s}'; }

    # 1. Terrain / land-use map, title band, calm button panels, scale bar.
    "$PY" "$HERE/terrain.py" "$TMP/map.ppm" "$S"

    # 2. Lettering. The dialog shows the whole width of the picture, so the
    #    title is centred on the width that the dialog shows.
    #    Note: ImageMagick 6 keeps settings (stroke, kerning...) across the
    #    parenthesised layers, so each layer resets what it must.
    local TITLE="VORMEL"
    local SUB="TERRAIN  &  LANDUSE   SETUP"
    "$CONVERT" "$TMP/map.ppm" \
        \( -size "${W}x$BAND" xc:none -font "$BOLD" -pointsize "$(px 60)" -kerning "$(px 9)" \
           -gravity north -fill 'rgba(0,0,0,0.80)' -annotate "+$(px 3)+$(px 14)" "$TITLE" \
           -blur "0x$(px 3)" \) \
        -gravity northwest -geometry +0+0 -composite \
        \( -size "${W}x$BAND" xc:none -font "$BOLD" -pointsize "$(px 60)" -kerning "$(px 9)" \
           -gravity north -fill '#f4f8ec' -stroke '#f4f8ec' -strokewidth "$(px 0.6)" \
           -annotate "+$(px 1)+$(px 10)" "$TITLE" \) \
        -gravity northwest -geometry +0+0 -composite \
        \( -size "${W}x$BAND" xc:none +stroke -font "$COND" -pointsize "$(px 12)" -kerning "$(px 2.2)" \
           -gravity north -fill 'rgba(0,0,0,0.6)' -annotate "+$(px 2)+$(px 74)" "$SUB" -blur "0x$(px 1)" \
           -fill '#c8e3a0' -annotate "+$(px 1)+$(px 73)" "$SUB" \) \
        -gravity northwest -geometry +0+0 -composite \
        +stroke -kerning 0 -font "$BOOK" -pointsize "$(px 10)" -gravity northwest -fill '#202820' \
        -annotate "+$(px 13)+$(px 330)" "0" -annotate "+$(px 76)+$(px 330)" "1 km" \
        \( -size "$(px 24)x$(px 34)" xc:none -stroke '#202820' -strokewidth "$(px 1)" \
           -fill '#f6f2e4' -draw "polygon $(px 12),$(px 13) $(px 18),$(px 31) $(px 12),$(px 27)" \
           -fill '#202820' -draw "polygon $(px 12),$(px 13) $(px 6),$(px 31) $(px 12),$(px 27)" \
           -stroke none -font "$BOLD" -pointsize "$(px 11)" -gravity north \
           -fill '#202820' -annotate +0+0 'N' \) \
        -gravity northwest -geometry "+$(px 398)+$(px 319)" -composite \
        -depth 8 "$TMP/full.ppm"

    # 3. Quantise to 256 colours and write an uncompressed 8-bit BMP3.
    "$CONVERT" "$TMP/full.ppm" -dither FloydSteinberg -colors 256 -type Palette \
        -units PixelsPerCentimeter -density "$(px 59.36)" -compress none \
        "BMP3:$TMP/launcher.bmp"
    # Force full 256-entry palette and exactly 5936 pixels per metre at 100 %.
    "$PY" "$HERE/bmpfix.py" "$TMP/launcher.bmp" $((5936 * S))
    cp "$TMP/launcher.bmp" "$out"
}

draw_picture 1 "$RES/launcher.bmp"
draw_picture 2 "$RES/launcher-200.bmp"

# 4. Icon: 32 x 32, 16 colours, written directly (ICONDIR + DIB + AND mask).
"$PY" "$HERE/icon.py" "$TMP/launcher.ico"
cp "$TMP/launcher.ico" "$RES/launcher.ico"

echo "wrote $RES/launcher.bmp, $RES/launcher-200.bmp and $RES/launcher.ico"
