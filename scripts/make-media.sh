#!/usr/bin/env bash
# Masters a distribution image (ISO 9660 with Joliet and Rock Ridge names) holding the
# launcher, its InstallList.txt, an autorun.inf, the product installer and, for the
# database screen, the folders landuse, terrain and 1kmav_dem.
#
#   scripts/make-media.sh --screen program|database --label LABEL --output FILE.iso
#                         [--installer FILE] [--installer-path 'Installer\Setup.exe']
#                         [--data FOLDER] [--title TEXT] [--launcher EXE]
#
#   --screen          program: the launcher starts the installer (InstallList mode 0);
#                     database: it copies the database (mode 1)
#   --installer       the product installer; required for the program screen
#   --installer-path  where it lies on the media, relative to the launcher
#                     (default: Installer\<its file name>); no "..", no drive, no leading \
#   --data            database screen: the folder holding landuse, terrain and 1kmav_dem
#   --label           volume label: 1 to 16 letters, digits or _ (Joliet's volume id holds
#                     16 characters; letters are made upper case, as ISO 9660 requires)
#   --output          the image to write; an existing one is replaced
#   --title           InstallList.txt's second line (free text; the list is written in
#                     code page 932, as the launcher reads it)
#   --launcher        the launcher exe (default: VORMELSetup.exe in $BUILD_DIR, or build)
# Bad input is reported on stderr with exit status 2, and no image is written.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "make-media.sh: $*" >&2; exit 2; }

screen= installer= installer_path= data= label= output= title= launcher=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || fail "$1 needs a value"
  case "$1" in
    --screen) screen=$2 ;;
    --installer) installer=$2 ;;
    --installer-path) installer_path=$2 ;;
    --data) data=$2 ;;
    --label) label=$2 ;;
    --output) output=$2 ;;
    --title) title=$2 ;;
    --launcher) launcher=$2 ;;
    *) fail "unknown option $1 (see the head of this script)" ;;
  esac
  shift 2
done

case "$screen" in
  program) mode=0; title=${title:-VORMEL program installation} ;;
  database) mode=1; title=${title:-Terrain and landuse database} ;;
  *) fail "--screen must be program or database" ;;
esac
[ -n "$output" ] || fail "--output is missing"
[ -d "$(dirname "$output")" ] || fail "the folder of the output $output does not exist"

[ -n "$label" ] || fail "--label is missing"
[ ${#label} -le 16 ] || fail "the label '$label' is longer than 16 characters (Joliet volume id)"
[[ "$label" =~ ^[A-Za-z0-9_]+$ ]] || fail "the label '$label' may hold only letters, digits and _"
label=${label^^}

launcher=${launcher:-$(cd "$top" && realpath -m "${BUILD_DIR:-build}")/VORMELSetup.exe}
[ -f "$launcher" ] || fail "the launcher $launcher does not exist (build it first)"

if [ -n "$installer" ]; then
  [ -f "$installer" ] || fail "the installer $installer does not exist"
  installer_path=${installer_path:-Installer\\$(basename "$installer")}
  rel=${installer_path//\\//}
  case "$rel" in
    /* | [A-Za-z]:*) fail "the installer path '$installer_path' must be relative to the launcher" ;;
  esac
  IFS=/ read -r -a parts <<<"$rel"
  for p in "${parts[@]}"; do
    case "$p" in
      "" | . | ..) fail "the installer path '$installer_path' must lie on the media below the launcher (no '..', '.' or empty parts)" ;;
    esac
  done
  case "${parts[0],,}" in
    vormelsetup.exe | installlist.txt | autorun.inf | landuse | terrain | 1kmav_dem)
      fail "the installer path '$installer_path' collides with the launcher's own files" ;;
  esac
elif [ "$screen" = program ]; then
  fail "the program screen needs --installer"
elif [ -n "$installer_path" ]; then
  fail "--installer-path needs --installer"
fi

folders=(landuse terrain 1kmav_dem)
if [ "$screen" = database ]; then
  [ -n "$data" ] || fail "the database screen needs --data"
  [ -d "$data" ] || fail "the data folder $data does not exist"
  for f in "${folders[@]}"; do
    [ -d "$data/$f" ] || fail "the data folder $data lacks the folder $f"
  done
elif [ -n "$data" ]; then
  fail "--data belongs to the database screen"
fi

# Joliet holds names of at most 64 characters and none of * / : ; ? \
check_name() {
  [ ${#1} -le 64 ] || fail "the name '$1' is longer than Joliet's 64 characters${2:+ (in $2)}"
  case "$1" in *[\*:\;?\\]*) fail "the name '$1' holds a character Joliet forbids${2:+ (in $2)}" ;; esac
}
[ -z "$installer" ] || for p in "${parts[@]}"; do check_name "$p"; done
if [ "$screen" = database ]; then
  while IFS= read -r -d '' path; do
    check_name "$(basename "$path")" "$(dirname "$path")"
  done < <(cd "$data" && find "${folders[@]}" -print0)
fi

stage=$(mktemp -d "${TMPDIR:-/tmp}/vormel-media.XXXXXX")
tmp_image="$output.part"
trap 'rm -rf "$stage" "$stage.log" "$tmp_image"' EXIT

cp "$launcher" "$stage/VORMELSetup.exe"
# The launcher reads its list as ANSI text in the Japanese code page.
printf '%s\r\n' "$mode" "$title" "${installer:+${installer_path//\//\\}}" \
  | iconv -f UTF-8 -t CP932 > "$stage/InstallList.txt" \
  || fail "the title or the installer path has characters outside code page 932"
printf '%s\r\n' '[autorun]' 'open=VORMELSetup.exe' 'icon=VORMELSetup.exe,0' > "$stage/autorun.inf"
if [ -n "$installer" ]; then
  mkdir -p "$stage/$(dirname "$rel")"
  cp "$installer" "$stage/$rel"
fi
if [ "$screen" = database ]; then
  for f in "${folders[@]}"; do cp -r "$data/$f" "$stage/$f"; done
fi

rm -f "$tmp_image"
# -r: Rock Ridge with every file read-only, as on a pressed disc; level 3 takes files of
# 4 GiB and more.
if ! xorriso -as mkisofs -quiet -iso-level 3 -J -r -V "$label" -o "$tmp_image" "$stage" 2>"$stage.log"; then
  cat "$stage.log" >&2; rm -f "$stage.log"
  echo "make-media.sh: xorriso could not master the image" >&2; exit 1
fi
rm -f "$stage.log"
mv -f "$tmp_image" "$output"
echo "Wrote $output ($screen screen, label $label)"
