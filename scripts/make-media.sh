#!/usr/bin/env bash
# Masters a distribution image (ISO 9660 with Joliet and Rock Ridge names) holding the
# launcher, its InstallList.txt, an autorun.inf, the product installer and, for the
# database screen, the folders landuse, terrain and 1kmav_dem.
#
#   scripts/make-media.sh --screen program|database --label LABEL --output FILE.iso
#                         [--installer FILE] [--installer-path 'Installer\Setup.exe']
#                         [--data FOLDER] [--edition VERSION] [--title TEXT] [--launcher EXE]
#                         [--sign-pfx FILE | --sign-cert FILE --sign-key FILE]
#                         [--timestamp URL] [--sign-url URL]
#
#   --screen          program: the launcher starts the installer (InstallList mode 0);
#                     database: it copies the database (mode 1)
#   --installer       the product installer; required for the program screen
#   --installer-path  where it lies on the media, relative to the launcher
#                     (default: Installer\<its file name>); no "..", no drive, no leading \
#   --data            database screen: the folder holding landuse, terrain and 1kmav_dem
#   --edition         database screen: the edition of the data (InstallList.txt's fourth
#                     line, e.g. 2027.1: one to four numbers of at most 65535, parted by dots),
#                     which Programs and Features shows as the version; without it the
#                     launcher's own version stands in
#   --label           volume label: 1 to 16 letters, digits or _ (Joliet's volume id holds
#                     16 characters; letters are made upper case, as ISO 9660 requires)
#   --output          the image to write; an existing one is replaced
#   --title           InstallList.txt's second line (free text; the list is written in
#                     code page 932, as the launcher reads it)
#   --launcher        the launcher exe (default: VORMELSetup.exe in $BUILD_DIR, or build)
#   --sign-pfx        sign the launcher and the installer (Authenticode, SHA-256) with the
#                     certificate and key in this PKCS#12 file; its password is read from
#                     the environment variable VORMEL_SIGN_PASSWORD, never from the command line
#   --sign-cert, --sign-key  or with this certificate (PEM or DER, chain after it) and key (a
#                     key's password, if any, from VORMEL_SIGN_PASSWORD too)
#   --timestamp       an RFC 3161 time-stamp server; without it the signature is valid only
#                     as long as the certificate
#   --sign-url        the address the signature names beside the product's name (default
#                     the publisher's, below)
# Bad input is reported on stderr with exit status 2, and no image is written.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

fail() { echo "make-media.sh: $*" >&2; exit 2; }

screen= installer= installer_path= data= edition= label= output= title= launcher=
sign_pfx= sign_cert= sign_key= timestamp= sign_url=https://www.brantik.co.jp/  # the publisher's site
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || fail "$1 needs a value"
  case "$1" in
    --screen) screen=$2 ;;
    --installer) installer=$2 ;;
    --installer-path) installer_path=$2 ;;
    --data) data=$2 ;;
    --edition) edition=$2 ;;
    --label) label=$2 ;;
    --output) output=$2 ;;
    --title) title=$2 ;;
    --launcher) launcher=$2 ;;
    --sign-pfx) sign_pfx=$2 ;;
    --sign-cert) sign_cert=$2 ;;
    --sign-key) sign_key=$2 ;;
    --timestamp) timestamp=$2 ;;
    --sign-url) sign_url=$2 ;;
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
elif [ -n "$data$edition" ]; then
  fail "--data and --edition belong to the database screen"
fi
if [ -n "$edition" ]; then
  [[ "$edition" =~ ^[0-9]{1,5}(\.[0-9]{1,5}){0,3}$ ]] || fail "the edition '$edition' is not a version such as 2027.1"
  for n in ${edition//./ }; do
    [ $((10#$n)) -le 65535 ] || fail "the edition '$edition' has a part above 65535"
  done
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

# The work folder is private (mode 700): the stage, the logs and the signing password.
work=$(mktemp -d "${TMPDIR:-/tmp}/vormel-media.XXXXXX")
stage=$work/media tmp_image=$output.part
trap 'rm -rf "$work" "$tmp_image"' EXIT
mkdir "$stage"

# Authenticode: every check before anything is signed. The password reaches openssl and
# osslsigncode only as a file of the work folder that only the user can read.
sign=()
if [ -n "$sign_pfx$sign_cert$sign_key" ]; then
  [ -z "$sign_pfx" ] || [ -z "$sign_cert$sign_key" ] || fail "give either --sign-pfx or --sign-cert with --sign-key"
  [ -n "$sign_pfx" ] || { [ -n "$sign_cert" ] && [ -n "$sign_key" ]; } || fail "--sign-cert and --sign-key go together"
  for f in "$sign_pfx" "$sign_cert" "$sign_key"; do
    [ -z "$f" ] || { [ -f "$f" ] && [ -r "$f" ]; } || fail "the signing file $f does not exist or cannot be read"
  done
  pass_in=(-passin pass:) pass=(-pass '')
  if [ -n "${VORMEL_SIGN_PASSWORD:-}" ]; then
    (umask 077 && printf '%s' "$VORMEL_SIGN_PASSWORD" >"$work/pass")
    pass_in=(-passin "file:$work/pass") pass=(-readpass "$work/pass")
  fi
  if [ -n "$sign_pfx" ]; then
    openssl pkcs12 -legacy -in "$sign_pfx" "${pass_in[@]}" -nokeys -clcerts -out "$work/cert.pem" 2>/dev/null \
      || fail "cannot open $sign_pfx: not a PKCS#12 file, or the wrong password in VORMEL_SIGN_PASSWORD"
    sign=(-pkcs12 "$sign_pfx")
  else
    openssl x509 -in "$sign_cert" -out "$work/cert.pem" 2>/dev/null || fail "$sign_cert holds no certificate"
    key=$(openssl pkey -in "$sign_key" "${pass_in[@]}" -pubout 2>/dev/null) \
      || fail "cannot read the key $sign_key: not a key, or the wrong password in VORMEL_SIGN_PASSWORD"
    [ "$key" = "$(openssl x509 -in "$work/cert.pem" -noout -pubkey)" ] || fail "the key $sign_key does not belong to $sign_cert"
    sign=(-certs "$sign_cert" -key "$sign_key")
  fi
  openssl x509 -in "$work/cert.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q 'Code Signing' \
    || fail "the certificate cannot sign code (no code signing in its extended key usage)"
  openssl x509 -in "$work/cert.pem" -noout -checkend 0 >/dev/null || fail "the certificate has expired"
  # The description is the product's name as the version record gives it.
  product=$(sed -n 's/^ *VALUE "ProductName", "\(.*\)"/\1/p' "$top/res/VORMELSetup.rc")
  sign+=("${pass[@]}" -h sha256 -n "$product" -i "$sign_url" ${timestamp:+-ts "$timestamp"})
elif [ -n "$timestamp" ]; then
  fail "--timestamp needs --sign-pfx or --sign-cert"
fi
# Copies a file into the stage, signed when signing was asked for.
place() {
  if [ ${#sign[@]} -eq 0 ]; then cp "$1" "$2"; return; fi
  osslsigncode sign "${sign[@]}" -in "$1" -out "$2" >"$work/sign.log" 2>&1 \
    || { cat "$work/sign.log" >&2; echo "make-media.sh: osslsigncode could not sign $1" >&2; exit 1; }
}

# The launcher reads its list as ANSI text in the Japanese code page.
printf '%s\r\n' "$mode" "$title" "${installer:+${installer_path//\//\\}}" ${edition:+"$edition"} \
  | iconv -f UTF-8 -t CP932 > "$stage/InstallList.txt" \
  || fail "the title or the installer path has characters outside code page 932"
printf '%s\r\n' '[autorun]' 'open=VORMELSetup.exe' 'icon=VORMELSetup.exe,0' > "$stage/autorun.inf"
place "$launcher" "$stage/VORMELSetup.exe"
if [ -n "$installer" ]; then
  mkdir -p "$stage/$(dirname "$rel")"
  place "$installer" "$stage/$rel"
fi
if [ "$screen" = database ]; then
  for f in "${folders[@]}"; do cp -r "$data/$f" "$stage/$f"; done
fi

rm -f "$tmp_image"
# -r: Rock Ridge with every file read-only, as on a pressed disc; level 3 takes files of
# 4 GiB and more; the names are read as UTF-8 whatever the locale.
if ! xorriso -as mkisofs -quiet -input-charset UTF-8 -iso-level 3 -J -r -V "$label" -o "$tmp_image" "$stage" 2>"$work/xorriso.log"; then
  cat "$work/xorriso.log" >&2; echo "make-media.sh: xorriso could not master the image" >&2; exit 1
fi
mv -f "$tmp_image" "$output"
echo "Wrote $output ($screen screen, label $label${sign:+, signed})"
