#!/usr/bin/env bash
# Masters the demo database distribution into an image, checks the names Windows reads
# from it (the Joliet tree) and that bad input makes no image, then lays the image out in
# the folder behind Wine's CD-ROM drive R: for the tests that install from there.
#   media-image.sh <source folder> <build folder>; from the environment WINEPREFIX and
#   VORMEL_CDROM_DIR, the folder behind R: (both set by scripts/run-tests.sh)
set -u
src=$1 build=$2
cdrom=${VORMEL_CDROM_DIR:?is not set: run through scripts/run-tests.sh, which makes R: a CD-ROM drive}
dist=$build/demo/database image=$build/media-test.iso
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
media() {
  bash "$src/scripts/make-media.sh" --screen database --data "$dist" --label VORMEL_DB \
    --installer "$build/VORMELInstall.exe" --launcher "$build/VORMELSetup.exe" "$@"
}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT

# Bad input: each case must fail with a message and leave no image.
cd "$work" && mkdir -p partial/landuse partial/terrain
cp -r "$dist" long && touch "long/terrain/$(printf 'n%.0s' {1..61}).csv"
while IFS='|' read -r case option value; do
  rm -f bad.iso*
  media "$option" "$value" --output bad.iso 2>err >/dev/null && fail "$case: exit 0"
  grep -q '^make-media.sh: ' err || fail "$case: no message on stderr"
  ! compgen -G 'bad.iso*' >/dev/null || fail "$case: an image was left"
done <<'EOF'
data folder missing|--data|/nonexistent/vormel-data
data folder lacking 1kmav_dem|--data|partial
installer path with ..|--installer-path|..\VORMELInstall.exe
absolute installer path|--installer-path|\Installer\VORMELInstall.exe
installer path on a drive|--installer-path|C:\VORMELInstall.exe
label of 17 characters|--label|VORMEL_DATABASE_1
file name of 65 characters|--data|long
EOF

# The image: every name whole and in its case, as Joliet gives it to Windows.
rm -f "$image"
media --output "$image" >/dev/null || { echo "FAIL: make-media.sh on the demo database" >&2; exit 1; }
expected=$( { printf '/%s\n' VORMELSetup.exe InstallList.txt autorun.inf Installer Installer/VORMELInstall.exe
              cd "$dist" && find landuse terrain 1kmav_dem | sed 's|^|/|'; } | sort)
listed=$(xorriso -read_fs norock -indev "$image" -find / 2>/dev/null | sed "s/^'//; s/'$//" | grep -vx / | sort)
[ "$listed" = "$expected" ] || fail "names in the image differ:
$(diff <(echo "$expected") <(echo "$listed"))"

# Laid out behind R:, read-only as on a disc; the lists are byte for byte.
if [ -d "$cdrom" ]; then chmod -R u+w "$cdrom"; rm -rf "$cdrom"; fi
xorriso -osirrox on -read_fs norock -indev "$image" -extract / "$cdrom" >/dev/null 2>&1 \
  || fail "extracting into $cdrom"
[ "$(readlink -f "${WINEPREFIX:-}/dosdevices/r:")" = "$(realpath "$cdrom")" ] || fail "Wine's R: does not lead to $cdrom"
for f in landuse terrain 1kmav_dem; do
  diff -r "$dist/$f" "$cdrom/$f" >/dev/null || fail "$f differs on the media"
done
cmp -s "$cdrom/InstallList.txt" <(printf '1\r\nTerrain and landuse database\r\nInstaller\\VORMELInstall.exe\r\n') \
  || fail "InstallList.txt: $(od -c "$cdrom/InstallList.txt")"
cmp -s "$cdrom/autorun.inf" <(printf '[autorun]\r\nopen=VORMELSetup.exe\r\nicon=VORMELSetup.exe,0\r\n') \
  || fail "autorun.inf: $(od -c "$cdrom/autorun.inf")"
[ "$failed" = 0 ] && echo "media image: 7 bad inputs refused; $(echo "$listed" | wc -l) names whole; laid out in $cdrom"
exit "$failed"
