#!/usr/bin/env bash
# Masters the demo database into an image signed by a throw-away CA's code-signing certificate (cs.pfx;
# other.pfx holds it under another password). Checks that bad input makes no image, and what Windows
# reads (Joliet): every name and file whole, the list in code page 932, the exes' signatures. Leaves it
# behind Wine's CD-ROM drive R:. Arguments: <source> <build> [<the shipped i686 build, when the build is its x86-64
# twin>]; WINEPREFIX, VORMEL_CDROM_DIR from run-tests.sh.
set -u
src=$1 build=$2 product=${3:-$2} exes=${3:-$2} cdrom=${VORMEL_CDROM_DIR:?is not set: run through scripts/run-tests.sh, which makes R: a CD-ROM drive}
dist=$build/demo/database title='地形・土地利用データベース' setup='セットアップ\Setup.exe' failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
media() { LC_ALL=C bash "$src/scripts/make-media.sh" --screen database --data "$dist" --label VORMEL_DB --edition 2027.1 --title "$title" \
  --installer "$exes/VORMELInstall.exe" --installer-path "$setup" --launcher "$exes/VORMELSetup.exe" "$@"; }
work=$(mktemp -d) && trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT && cd "$work" && export VORMEL_SIGN_PASSWORD=test
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=VORMEL-Test-CA -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=VORMEL-Test -keyout cs.key 2>/dev/null | openssl x509 -req \
  -CA ca.pem -CAkey ca.key -extfile <(echo extendedKeyUsage=codeSigning) -out cs.pem 2>/dev/null
for p in cs:test other:other; do openssl pkcs12 -export -in cs.pem -inkey cs.key -passout "pass:${p#*:}" -out "${p%:*}.pfx"; done
# Bad input: each case must fail with its message and leave no image.
mkdir -p partial/landuse partial/terrain && cp -r "$dist" long && touch "long/terrain/$(printf 'n%.0s' {1..61}).csv"
while IFS='|' read -r case message args; do
  rm -f bad.iso*; media $args --output bad.iso 2>err >/dev/null && fail "$case: exit 0"
  grep -q "^make-media.sh: .*$message" err && ! compgen -G 'bad.iso*' >/dev/null || fail "$case: no image and '$message' wanted: $(cat err)"
done <<'EOF'
data folder missing|does not exist|--data /nonexistent/vormel-data
data folder lacking 1kmav_dem|lacks the folder|--data partial
installer path with ..|below the launcher|--installer-path ..\VORMELInstall.exe
absolute installer path|relative to the launcher|--installer-path \Installer\VORMELInstall.exe
installer path on a drive|relative to the launcher|--installer-path C:\VORMELInstall.exe
label of 17 characters|longer than 16|--label VORMEL_DATABASE_1
edition not a version|not a version|--edition 2027.x
file name of 65 characters|longer than Joliet|--data long
certificate missing|does not exist|--sign-cert /nonexistent/cs.pem --sign-key cs.key
no certificate in the file|holds no certificate|--sign-cert cs.key --sign-key cs.key
wrong password|wrong password|--sign-pfx other.pfx
certificate that cannot sign code|cannot sign code|--sign-cert ca.pem --sign-key ca.key
PFX and certificate|either|--sign-pfx cs.pfx --sign-cert cs.pem --sign-key cs.key
certificate without key|go together|--sign-cert cs.pem
EOF

# The image, extracted behind R: through its Joliet names, read-only as on a disc: byte for byte
# what is expected, the exes aside, which verify against the CA; one byte changed does not.
media --sign-pfx cs.pfx --output "$build/media-test.iso" >/dev/null || { echo "FAIL: make-media.sh on the demo database" >&2; exit 1; }
chmod -R u+w "$cdrom" 2>/dev/null; rm -rf "$cdrom"
xorriso -osirrox on -read_fs norock -indev "$build/media-test.iso" -extract / "$cdrom" >/dev/null 2>&1 || fail "extracting into $cdrom"
[ "$(readlink -f "${WINEPREFIX:-}/dosdevices/r:")" = "$(realpath "$cdrom")" ] || fail "Wine's R: does not lead to $cdrom"
mkdir -p want/セットアップ && cp -r "$dist"/{landuse,terrain,1kmav_dem} want/
printf '1\r\n%s\r\n%s\r\n2027.1\r\n' "$title" "$setup" | iconv -f UTF-8 -t CP932 >want/InstallList.txt
printf '[autorun]\r\nopen=VORMELSetup.exe\r\nicon=VORMELSetup.exe,0\r\n' >want/autorun.inf
d=$(diff -r -x VORMELSetup.exe -x Setup.exe want "$cdrom" 2>&1) || fail "the media differ from what is expected: $d"
for f in VORMELSetup.exe "${setup/\\//}"; do v=$(osslsigncode verify -CAfile ca.pem -in "$cdrom/$f" 2>&1) \
  && [[ $v == *SHA256*"description: VORMEL Setup Luncher"* ]] || fail "$f does not verify: $v"; done
python3 -c 'import sys; b = bytearray(open(sys.argv[1], "rb").read()); b[4096] ^= 1; open("t.exe", "wb").write(b)' "$cdrom/VORMELSetup.exe"
! osslsigncode verify -CAfile ca.pem -in t.exe >/dev/null 2>&1 || fail "the launcher with one byte changed still verifies"
# Where Wine here cannot run the shipped launcher, the tests install from the same media with the build it runs.
if [ "$build" != "$product" ]; then
  exes=$build && media --sign-pfx cs.pfx --output "$build/media-run.iso" >/dev/null && chmod -R u+w "$cdrom" && rm -rf "$cdrom" &&
    xorriso -osirrox on -read_fs norock -indev "$build/media-run.iso" -extract / "$cdrom" >/dev/null 2>&1 ||
    fail "laying out the media with the $(basename "$build") build's launcher in $cdrom"
fi
[ "$failed" = 0 ] && echo "media image: 14 bad inputs refused; the media whole and signed; laid out in $cdrom"; exit "$failed"
