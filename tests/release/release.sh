#!/usr/bin/env bash
# Tests of scripts/release with a throw-away self-signed code-signing
# certificate made here (openssl), in temporary folders only:
#  - bad input: no certificate file, a file that is no PKCS#12, a wrong
#    password: each stops with its own message and leaves no archive;
#  - unsigned: both archives hold the executables of dist/ unchanged, the
#    README and a matching SHA256SUMS; two runs give identical archives;
#  - signed: both executables carry an Authenticode SHA-256 signature by the
#    test certificate that osslsigncode verifies, SHA256SUMS matches them, and
#    the signed x64 executable still runs under Wine (exit codes through the
#    launcher, the task list consumed).
# Uses the Windows trees in dist/ (scripts/build); the signed run builds them
# again through scripts/release, which finds them current.
# Prints one PASS/FAIL line per check and "N passed, N failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/wine/lib.sh

for tool in openssl osslsigncode cmake zip sha256sum; do
  command -v "$tool" >/dev/null || { fail "release: $tool available" "scripts/install-deps test installs it"; finish; }
done
version=$(sed -n 's/^project(TAV_PowerSaveSetting VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { fail "release: project version in CMakeLists.txt"; finish; }
for arch in x64 x86; do
  [ -f "dist/windows-$arch/TAV_PowerSaveSetting.exe" ] || { fail "release: dist/windows-$arch built" "run scripts/build"; finish; }
done

wine_begin
mkdir -p "$work/cert"
# The certificate: RSA 2048, code signing, valid for two days; its password
# is made here too. Nothing of it outlives the suite.
password="test-$RANDOM-$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=TAV_PowerSaveSetting test signer" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
  -keyout "$work/cert/key.pem" -out "$work/cert/cert.pem" >/dev/null 2>&1 \
  && openssl pkcs12 -export -inkey "$work/cert/key.pem" -in "$work/cert/cert.pem" \
       -out "$work/cert/signer.p12" -passout "pass:$password" \
  && pass "release: test certificate made" || { fail "release: test certificate made"; finish; }
printf 'not a certificate\n' >"$work/cert/garbage.p12"

# Runs scripts/release --no-build into `out` with only the signing variables
# given (NAME=value...); `status` and `output` keep what it did.
run_release() {
  local out=$1
  shift
  output=$(env -u TAV_SIGN_PKCS12 -u TAV_SIGN_PASSWORD -u TAV_SIGN_TIMESTAMP_URL \
    TAV_RELEASE_DIR="$out" "$@" ./scripts/release --no-build 2>&1)
  status=$?
}

archive_names() {
  echo "TAV_PowerSaveSetting-$version-windows-x64.zip TAV_PowerSaveSetting-$version-windows-x86.zip"
}

# --- Bad input ----------------------------------------------------------------------

# name | environment (space-separated assignments) | message expected
bad_cases=(
  "no certificate file|TAV_SIGN_PKCS12=$work/cert/missing.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: no such file"
  "a folder for the certificate|TAV_SIGN_PKCS12=$work/cert TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: not a readable file"
  "not a PKCS#12 file|TAV_SIGN_PKCS12=$work/cert/garbage.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: cannot read"
  "wrong password|TAV_SIGN_PKCS12=$work/cert/signer.p12 TAV_SIGN_PASSWORD=wrong-$password|release: TAV_SIGN_PKCS12: wrong password"
  "no password for a protected file|TAV_SIGN_PKCS12=$work/cert/signer.p12|release: TAV_SIGN_PKCS12: wrong password"
)
for entry in "${bad_cases[@]}"; do
  IFS='|' read -r name assignments expected <<<"$entry"
  out=$work/bad/${name// /-}
  mkdir -p "$out"
  # A stale archive of the same version must not survive either.
  : >"$out/TAV_PowerSaveSetting-$version-windows-x64.zip"
  read -ra environment <<<"$assignments"
  run_release "$out" "${environment[@]}"
  problems=""
  [ "$status" -ne 0 ] || problems="$problems exit 0;"
  grep -qF "$expected" <<<"$output" || problems="$problems message not '$expected': $(tail -n1 <<<"$output");"
  left=$(find "$out" -name '*.zip' ! -empty | wc -l)
  [ "$left" -eq 0 ] || problems="$problems $left archives left;"
  [ -z "$problems" ] && pass "release: $name stops cleanly" || fail "release: $name stops cleanly" "$problems"
done
# The stale archive of an earlier run is removed once packing starts; before
# that (a refused certificate) the script has touched nothing.
[ -f "$work/bad/wrong-password/TAV_PowerSaveSetting-$version-windows-x64.zip" ] \
  && pass "release: a refused certificate touches no file" \
  || fail "release: a refused certificate touches no file"

# --- Unsigned ------------------------------------------------------------------------

# Checks the two archives in `out`: the three files, SHA256SUMS matching them;
# unpacked into out/<arch>/.
check_archives() {
  local out=$1 label=$2 arch archive listing
  for arch in x64 x86; do
    archive=$out/TAV_PowerSaveSetting-$version-windows-$arch.zip
    [ -f "$archive" ] || { fail "$label: $arch archive made" "$(tail -n2 <<<"$output")"; continue; }
    mkdir -p "$out/$arch"
    (cd "$out/$arch" && cmake -E tar xf "$archive") || { fail "$label: $arch archive unpacks"; continue; }
    listing=$(cd "$out/$arch" && find . -type f | sort | tr '\n' ' ')
    if [ "$listing" = "./README.md ./SHA256SUMS ./TAV_PowerSaveSetting.exe " ] \
       && (cd "$out/$arch" && sha256sum --quiet -c SHA256SUMS) && cmp -s "$out/$arch/README.md" README.md; then
      pass "$label: $arch archive holds the executable, README and matching SHA256SUMS"
    else
      fail "$label: $arch archive contents" "files: $listing"
    fi
  done
}

run_release "$work/unsigned"
[ "$status" -eq 0 ] && grep -q 'NOT signed' <<<"$output" \
  && pass "release: unsigned run says so" || fail "release: unsigned run" "exit $status: $(tail -n2 <<<"$output")"
check_archives "$work/unsigned" "release unsigned"
for arch in x64 x86; do
  cmp -s "$work/unsigned/$arch/TAV_PowerSaveSetting.exe" "dist/windows-$arch/TAV_PowerSaveSetting.exe" \
    && pass "release unsigned: $arch executable is the one of dist/" \
    || fail "release unsigned: $arch executable is the one of dist/"
done
run_release "$work/unsigned-again"
same=yes
for name in $(archive_names); do
  cmp -s "$work/unsigned/$name" "$work/unsigned-again/$name" || same=no
done
[ "$same" = yes ] && pass "release unsigned: two runs give identical archives" \
  || fail "release unsigned: two runs give identical archives"

# --- Signed ----------------------------------------------------------------------------

output=$(env -u TAV_SIGN_TIMESTAMP_URL TAV_RELEASE_DIR="$work/signed" TAV_SIGN_PKCS12="$work/cert/signer.p12" \
  TAV_SIGN_PASSWORD="$password" ./scripts/release 2>&1)
status=$?
[ "$status" -eq 0 ] && [ "$(grep -c 'signed and verified' <<<"$output")" -eq 2 ] \
  && pass "release: signed run (with its build)" || fail "release: signed run" "exit $status: $(tail -n3 <<<"$output")"
check_archives "$work/signed" "release signed"
for arch in x64 x86; do
  exe=$work/signed/$arch/TAV_PowerSaveSetting.exe
  verify=$(osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$exe" 2>&1)
  if [ $? -eq 0 ] && grep -q 'Signature verification: ok' <<<"$verify" \
     && grep -q 'Subject: /CN=TAV_PowerSaveSetting test signer' <<<"$verify" \
     && grep -q 'Message digest algorithm *: SHA256' <<<"$verify"; then
    pass "release signed: $arch signature (SHA-256, test signer) verifies"
  else
    fail "release signed: $arch signature verifies" "$(grep -iE 'error|fail' <<<"$verify" | head -n2 | tr '\n' ' ')"
  fi
done
# A certificate file without a password signs too (TAV_SIGN_PASSWORD unset).
openssl pkcs12 -export -inkey "$work/cert/key.pem" -in "$work/cert/cert.pem" \
  -out "$work/cert/open.p12" -passout pass: >/dev/null 2>&1
run_release "$work/open" TAV_SIGN_PKCS12="$work/cert/open.p12"
mkdir -p "$work/open/x64"
if [ "$status" -eq 0 ] && (cd "$work/open/x64" && cmake -E tar xf "../TAV_PowerSaveSetting-$version-windows-x64.zip") \
   && osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$work/open/x64/TAV_PowerSaveSetting.exe" >/dev/null 2>&1; then
  pass "release: a certificate without a password signs"
else
  fail "release: a certificate without a password signs" "exit $status: $(tail -n2 <<<"$output")"
fi
# Control: the same check refuses an executable without a signature.
osslsigncode verify -CAfile "$work/cert/cert.pem" -in dist/windows-x64/TAV_PowerSaveSetting.exe >/dev/null 2>&1 \
  && fail "release: verification refuses the unsigned executable" \
  || pass "release: verification refuses the unsigned executable"

# --- The signed x64 executable under Wine -----------------------------------------------

signed_exe=$work/signed/x64/TAV_PowerSaveSetting.exe
launcher=dist/windows-x64/test-equipment/launcher.exe
if [ -z "$wine_loader64" ] || ! command -v Xvfb >/dev/null; then
  fail "release signed: Wine available" "$(wine_missing)"
  finish
fi
[ -f "$signed_exe" ] && [ -f "$launcher" ] || { fail "release signed: executable and launcher present"; finish; }
wine_select_trees windows-x64
wine_start_x || { fail "release signed: private X server started"; finish; }
wine_new_prefix win64 "$work/prefix" || { fail "release signed: Wine prefix created"; finish; }
mkdir -p "$drive/tav" "$drive/equip" "$drive/data"
cp "$signed_exe" "$drive/tav/"
cp "$launcher" "$drive/equip/"
# arguments | exit line | task list made first and consumed
wine_cases=(
  "|exit=1280|no"
  '/F:"C:\data\list.txt"|exit=0|yes'
)
for entry in "${wine_cases[@]}"; do
  IFS='|' read -r arguments expected list <<<"$entry"
  [ "$list" = no ] || : >"$drive/data/list.txt"
  printf '%s' '"C:\tav\TAV_PowerSaveSetting.exe"'"${arguments:+ $arguments}" >"$drive/equip/command.txt"
  got=$("$wine" 'C:\equip\launcher.exe' 'C:\equip\command.txt' 2>/dev/null | tr -d '\r')
  problems=""
  [ "$got" = "$expected" ] || problems="got '$got' want '$expected';"
  [ "$list" = no ] || [ ! -e "$drive/data/list.txt" ] || problems="$problems task list not consumed;"
  [ -z "$problems" ] && pass "release signed: x64 under Wine, '${arguments:-no arguments}': $expected" \
    || fail "release signed: x64 under Wine, '${arguments:-no arguments}'" "$problems"
done
wine_stop_prefix
finish
