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
#    launcher, the task list consumed);
#  - Windows Installer packages: their tables (msiinfo export) and contents,
#    identical from two runs, signed like the executables, the companion only
#    from dist/<tree>/; under Wine (msiexec in a throw-away prefix): install,
#    a run of the installed tool, an upgrade in place, a refused downgrade
#    and an uninstall that leaves the tool's records.
# Uses the Windows trees in dist/ (scripts/build); the signed run builds them
# again through scripts/release, which finds them current.
# Prints one PASS/FAIL line per check and "N passed, N failed" last.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source tests/wine/lib.sh

for tool in openssl osslsigncode cmake zip sha256sum wixl msiinfo msiextract; do
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
  output=$(env -u TAV_SIGN_PKCS12 -u TAV_SIGN_PASSWORD -u TAV_SIGN_TIMESTAMP_URL -u TAV_PACKAGE_VERSION \
    TAV_RELEASE_DIR="$out" TAV_RELEASE_WITHOUT_COMPANION=1 "$@" ./scripts/release --no-build 2>&1)
  status=$?
}

archive_names() {
  local arch
  for arch in x64 x86; do
    echo "TAV_PowerSaveSetting-$version-windows-$arch.zip TAV_PowerSaveSetting-$version-windows-$arch.msi"
  done
}
# Trees as scripts/build leaves them, with a companion program (made-up
# bytes: the real one is not built yet), and the same without it.
for arch in x64 x86; do
  mkdir -p "$work/dist/windows-$arch" "$work/dist-alone/windows-$arch"
  cp "dist/windows-$arch/TAV_PowerSaveSetting.exe" "$work/dist/windows-$arch/"
  cp "dist/windows-$arch/TAV_PowerSaveSetting.exe" "$work/dist-alone/windows-$arch/"
  printf 'companion of windows-%s for the tests\r\n' "$arch" >"$work/dist/windows-$arch/TAV_PowerSaveSuspend.exe"
done
# A wixl of another version, for the pinned version's check.
mkdir -p "$work/other-wixl"
printf '#!/bin/sh\necho 0.102\n' >"$work/other-wixl/wixl"
chmod +x "$work/other-wixl/wixl"

# --- Bad input ----------------------------------------------------------------------

# name | environment (space-separated assignments) | message expected
bad_cases=(
  "no certificate file|TAV_SIGN_PKCS12=$work/cert/missing.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: no such file"
  "a folder for the certificate|TAV_SIGN_PKCS12=$work/cert TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: not a readable file"
  "not a PKCS#12 file|TAV_SIGN_PKCS12=$work/cert/garbage.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: cannot read"
  "wrong password|TAV_SIGN_PKCS12=$work/cert/signer.p12 TAV_SIGN_PASSWORD=wrong-$password|release: TAV_SIGN_PKCS12: wrong password"
  "no password for a protected file|TAV_SIGN_PKCS12=$work/cert/signer.p12|release: TAV_SIGN_PKCS12: wrong password"
  "no companion and no switch|TAV_DIST=$work/dist-alone TAV_RELEASE_WITHOUT_COMPANION=|release: $work/dist-alone/windows-x64/TAV_PowerSaveSuspend.exe missing"
  "another wixl version|PATH=$work/other-wixl:$PATH|release: wixl 0.101 is needed"
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
  left=$(find "$out" \( -name '*.zip' -o -name '*.msi' \) ! -empty | wc -l)
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

# The fixed upgrade codes, for good: a changed one would install beside the
# earlier versions instead of replacing them.
declare -A upgrade_code=([x64]="{B24E797F-08FA-4917-9C57-956615E7EA27}" [x86]="{32600A1F-59B0-49C0-8F31-16B4E4175362}")
declare -A program_files=([x64]=ProgramFiles64Folder [x86]=ProgramFilesFolder)
declare -A component_attributes=([x64]=256 [x86]=0)
downgrade_message="A newer version of TAV_PowerSaveSetting is already installed."
# A property of a package (msiinfo export ... Property).
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
# Table rows without the three header lines, sorted.
msi_rows() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4 | LC_ALL=C sort; }

# Checks the two packages of `version` in `out` made from the tree folder
# `from`: the tables and, unpacked with msiextract, the files, which must be
# those of `from` (or, signed, carry a signature); the companion exactly
# when `from` has one.
check_packages() {
  local out=$1 label=$2 from=$3 arch msi problems files want_files name
  for arch in x64 x86; do
    msi=$out/TAV_PowerSaveSetting-$version-windows-$arch.msi
    [ -f "$msi" ] || { fail "$label: $arch package made" "$(tail -n2 <<<"$output")"; continue; }
    problems=""
    want_files=TAV_PowerSaveSetting.exe
    [ ! -f "$from/windows-$arch/TAV_PowerSaveSuspend.exe" ] || want_files="$want_files TAV_PowerSaveSuspend.exe"
    files=$(msi_rows "$msi" File | cut -f3 | tr '\n' ' ')
    [ "$files" = "$want_files " ] || problems="$problems files '$files';"
    [ "$(msi_rows "$msi" Directory | grep -v '^TARGETDIR')" = "$(printf 'INSTALLFOLDER\tVendorFolder\tTAV_PowerSave\n%s\tTARGETDIR\t.\nVendorFolder\t%s\tVARENTO' \
      "${program_files[$arch]}" "${program_files[$arch]}")" ] || problems="$problems directories: $(msi_rows "$msi" Directory | tr '\t\n' ', ');"
    [ "$(msi_rows "$msi" Component | cut -f4 | sort -u)" = "${component_attributes[$arch]}" ] \
      || problems="$problems component attributes $(msi_rows "$msi" Component | cut -f4 | tr '\n' ' ');"
    for name in "ALLUSERS=1" "Manufacturer=VARENTO" "ProductVersion=$version" "UpgradeCode=${upgrade_code[$arch]}"; do
      [ "$(msi_property "$msi" "${name%%=*}")" = "${name#*=}" ] || problems="$problems ${name%%=*} '$(msi_property "$msi" "${name%%=*}")';"
    done
    [ "$(msi_rows "$msi" Upgrade | cut -f1-5 | tr '\t\n' '|;')" = \
      "${upgrade_code[$arch]}||$version||1;${upgrade_code[$arch]}|$version|||2;" ] \
      || problems="$problems upgrade rows: $(msi_rows "$msi" Upgrade | tr '\t\n' '|;');"
    grep -qF "$downgrade_message" <(msi_rows "$msi" LaunchCondition) || problems="$problems no downgrade message;"
    mkdir -p "$out/msi-$arch"
    msiextract -C "$out/msi-$arch" "$msi" >/dev/null 2>&1 || problems="$problems msiextract failed;"
    for name in $want_files; do
      files=$(find "$out/msi-$arch" -type f -name "$name")
      if [ "$label" = "release signed" ]; then
        osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$files" >/dev/null 2>&1 || problems="$problems $name in the package not signed;"
      else
        cmp -s "$files" "$from/windows-$arch/$name" || problems="$problems $name in the package differs;"
      fi
    done
    [ -z "$problems" ] && pass "$label: $arch package tables and files" || fail "$label: $arch package" "$problems"
  done
}

run_release "$work/unsigned" TAV_DIST="$work/dist"
[ "$status" -eq 0 ] && grep -q 'NOT signed' <<<"$output" \
  && pass "release: unsigned run says so" || fail "release: unsigned run" "exit $status: $(tail -n2 <<<"$output")"
check_archives "$work/unsigned" "release unsigned"
check_packages "$work/unsigned" "release unsigned" "$work/dist"
for arch in x64 x86; do
  cmp -s "$work/unsigned/$arch/TAV_PowerSaveSetting.exe" "dist/windows-$arch/TAV_PowerSaveSetting.exe" \
    && pass "release unsigned: $arch executable is the one of dist/" \
    || fail "release unsigned: $arch executable is the one of dist/"
done
# A second run in a later second, at another hour of the clock: the
# packages take no time of the run.
sleep 1
run_release "$work/unsigned-again" TAV_DIST="$work/dist" TZ=Asia/Tokyo
same=yes
for name in $(archive_names); do
  cmp -s "$work/unsigned/$name" "$work/unsigned-again/$name" || same=no
done
[ "$same" = yes ] && pass "release unsigned: two runs give identical archives and packages" \
  || fail "release unsigned: two runs give identical archives and packages"
# The package's dates are the commit's; a package of another version has
# another product code, each tree its own.
commit_time=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
bumped=${version%.*}.$((${version##*.} + 1))
run_release "$work/bumped" TAV_DIST="$work/dist" TAV_PACKAGE_VERSION="$bumped"
msi_of() { echo "$work/$1/TAV_PowerSaveSetting-$2-windows-$3.msi"; }
problems=""
for arch in x64 x86; do
  created=$(msiinfo suminfo "$(msi_of unsigned "$version" $arch)" | sed -n 's/^Created: //p')
  [ "$(date -d "$created" +%s 2>/dev/null)" = "$commit_time" ] || problems="$problems $arch created '$created';"
  [ "$(msi_property "$(msi_of bumped "$bumped" $arch)" ProductVersion)" = "$bumped" ] || problems="$problems $arch no $bumped package;"
done
codes=$(for arch in x64 x86; do msi_property "$(msi_of unsigned "$version" $arch)" ProductCode
  msi_property "$(msi_of bumped "$bumped" $arch)" ProductCode; done | sort -u | grep -cE '^\{[0-9A-F-]{36}\}$')
[ "$codes" -eq 4 ] || problems="$problems $codes distinct product codes of 4 packages;"
[ -z "$problems" ] && pass "release unsigned: packages dated by the commit, product codes per version and tree" \
  || fail "release unsigned: package dates and product codes" "$problems"

# --- Signed ----------------------------------------------------------------------------

# The trees of dist/ hold no companion yet (only the stand-in among the test
# equipment, which must stay out of the packages).
output=$(env -u TAV_SIGN_TIMESTAMP_URL -u TAV_PACKAGE_VERSION TAV_RELEASE_DIR="$work/signed" TAV_SIGN_PKCS12="$work/cert/signer.p12" \
  TAV_SIGN_PASSWORD="$password" TAV_RELEASE_WITHOUT_COMPANION=1 ./scripts/release 2>&1)
status=$?
[ "$status" -eq 0 ] && [ "$(grep -c 'signed and verified' <<<"$output")" -eq 4 ] \
  && { [ -f dist/windows-x64/TAV_PowerSaveSuspend.exe ] || grep -q 'made WITHOUT the companion' <<<"$output"; } \
  && pass "release: signed run (with its build)" || fail "release: signed run" "exit $status: $(tail -n3 <<<"$output")"
check_archives "$work/signed" "release signed"
check_packages "$work/signed" "release signed" dist
for file in {x64,x86}/TAV_PowerSaveSetting.exe TAV_PowerSaveSetting-$version-windows-{x64,x86}.msi; do
  exe=$work/signed/$file
  arch=$file
  verify=$(osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$exe" 2>&1)
  if [ $? -eq 0 ] && grep -q 'Signature verification: ok' <<<"$verify" \
     && grep -q 'Subject: /CN=TAV_PowerSaveSetting test signer' <<<"$verify" \
     && grep -q 'Message digest algorithm *: SHA256' <<<"$verify"; then
    pass "release signed: $arch signature (SHA-256, test signer) verifies"
  else
    fail "release signed: $arch signature verifies" "$(grep -iE 'error|fail' <<<"$verify" | head -n2 | tr '\n' ' ')"
  fi
done
# A rebuild of the same version keeps the product code; the package code
# follows the packaged (here: signed) files.
problems=""
for arch in x64 x86; do
  [ "$(msi_property "$(msi_of signed "$version" $arch)" ProductCode)" = "$(msi_property "$(msi_of unsigned "$version" $arch)" ProductCode)" ] \
    || problems="$problems $arch product code changed;"
  [ "$(msiinfo suminfo "$(msi_of signed "$version" $arch)" | grep '^Revision')" != "$(msiinfo suminfo "$(msi_of unsigned "$version" $arch)" | grep '^Revision')" ] \
    || problems="$problems $arch same package code for other files;"
done
[ -z "$problems" ] && pass "release signed: same product codes as unsigned, other package codes" \
  || fail "release signed: product and package codes" "$problems"
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
# The packages of both trees run under Wine; the x86 one only with wine32.
package_trees=(windows-x64 windows-x86)
if [ "$TAV_RUNS_32BIT" = yes ] && [ -z "$wine_loader32" ]; then
  echo "SKIP windows-x86 under Wine: wine32 is not installed (scripts/install-deps test installs it)"
  package_trees=(windows-x64)
fi
wine_select_trees "${package_trees[@]}"
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

# --- The packages under Wine ------------------------------------------------------------

# Wine's msiexec installs wixl's packages; it runs here through the launcher,
# which reports its full exit code (1603 and 1638 do not fit Wine's 8 bits).
# The packages are those with the companion (unsigned) and the bumped version.
folder_win='C:\Program Files\VARENTO\TAV_PowerSave'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# Runs "msiexec <arguments>" in the prefix; `exit_line` gets "exit=<code>".
msiexec() {
  printf 'msiexec %s' "$*" >"$drive/equip/command.txt"
  exit_line=$("$wine" 'C:\equip\launcher.exe' 'C:\equip\command.txt' 2>/dev/null | tr -d '\r')
}
# The version under which the product of `code` is registered; empty when none.
registered_version() {
  "$wine" reg query "$uninstall_key\\$1" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '$1 == "DisplayVersion" { print $3 }'
}
for tree in "${wine_trees[@]}"; do
  arch=${tree#windows-}
  prefix_arch=win64
  [ "$arch" = x64 ] || prefix_arch=win32
  wine_new_prefix "$prefix_arch" "$work/msi-prefix-$arch" || { fail "$tree package: Wine prefix created"; continue; }
  export TAV_STANDIN_DIR='C:\standin-state' WINEDLLOVERRIDES="mscoree,mshtml=;powrprof=n,b"
  folder="$drive/Program Files/VARENTO/TAV_PowerSave"
  record="$drive/ProgramData/VARENTO/TAV_POWERSAVE/Setting.ini"
  mkdir -p "$drive/equip" "$drive/pkg" "$drive/data" "$drive/standin-state"
  cp "dist/$tree/test-equipment/launcher.exe" "$drive/equip/"
  cp "$(msi_of unsigned "$version" "$arch")" "$drive/pkg/old.msi"
  cp "$(msi_of bumped "$bumped" "$arch")" "$drive/pkg/new.msi"
  old_code=$(msi_property "$drive/pkg/old.msi" ProductCode)
  new_code=$(msi_property "$drive/pkg/new.msi" ProductCode)

  # Install, then the installed tool once end to end with the stand-ins
  # beside it (removed again: they are no part of the product).
  msiexec '/i C:\pkg\old.msi /qn /l*v C:\pkg\install.log'
  problems=""
  [ "$exit_line" = exit=0 ] || problems="$problems $exit_line;"
  for name in TAV_PowerSaveSetting.exe TAV_PowerSaveSuspend.exe; do
    cmp -s "$folder/$name" "$work/dist/$tree/$name" || problems="$problems $name not installed;"
  done
  [ "$(registered_version "$old_code")" = "$version" ] || problems="$problems $old_code not registered as $version;"
  [ -s "$drive/pkg/install.log" ] || problems="$problems no log;"
  [ -z "$problems" ] && pass "$tree package: installed into $folder_win" || fail "$tree package: installed" "$problems"
  cp "dist/$tree/test-equipment"/{powercfg.exe,schtasks.exe,powrprof.dll} "$folder/"
  printf '[GENERAL]\r\nVersion=2.00.000\r\nName=Package test\r\n[DISPLAY]\r\nDisplayAcTime=5\r\n' >"$drive/data/profile.ini"
  printf '"%s\\TAV_PowerSaveSetting.exe" /N:"C:\\data\\profile.ini"' "$folder_win" >"$drive/equip/command.txt"
  exit_line=$("$wine" 'C:\equip\launcher.exe' 'C:\equip\command.txt' 2>/dev/null | tr -d '\r')
  commands=$(cat "$drive/standin-state/powercfg.log" 2>/dev/null | wc -l)
  rm -f "$folder"/{powercfg.exe,schtasks.exe,powrprof.dll}
  [ "$exit_line" = exit=0 ] && [ "$commands" -eq 14 ] && [ -s "$record" ] \
    && pass "$tree package: the installed tool applies a profile (exit 0, 14 commands, a record)" \
    || fail "$tree package: the installed tool applies a profile" "$exit_line, $commands commands, record $([ -s "$record" ] && echo made || echo missing)"
  cp "$record" "$work/record-$arch"

  # Upgrade in place, a refused downgrade, an uninstall that keeps the records.
  msiexec '/i C:\pkg\new.msi /qn /l*v C:\pkg\upgrade.log'
  problems=""
  [ "$exit_line" = exit=0 ] || problems="$problems $exit_line;"
  [ -z "$(registered_version "$old_code")" ] || problems="$problems $version still registered;"
  [ "$(registered_version "$new_code")" = "$bumped" ] || problems="$problems $bumped not registered;"
  cmp -s "$folder/TAV_PowerSaveSetting.exe" "$work/dist/$tree/TAV_PowerSaveSetting.exe" || problems="$problems tool gone;"
  cmp -s "$record" "$work/record-$arch" || problems="$problems record changed;"
  [ -z "$problems" ] && pass "$tree package: $bumped replaces $version in place, the record kept" \
    || fail "$tree package: upgrade to $bumped" "$problems"
  msiexec '/i C:\pkg\old.msi /qn /l*v C:\pkg\downgrade.log'
  problems=""
  [ "$exit_line" = exit=1603 ] || [ "$exit_line" = exit=1638 ] || problems="$problems $exit_line;"
  # Windows logs the refusal's message; Wine's msiexec shows it only with a
  # user interface and logs the launch condition's cause instead.
  grep -aqF "WIX_DOWNGRADE_DETECTED = $new_code" "$drive/pkg/downgrade.log" || problems="$problems no downgrade in the log;"
  [ "$(registered_version "$new_code")" = "$bumped" ] && [ -z "$(registered_version "$old_code")" ] \
    || problems="$problems registered versions changed;"
  [ -z "$problems" ] && pass "$tree package: a downgrade to $version is refused ($exit_line, logged)" \
    || fail "$tree package: downgrade refused" "$problems"
  msiexec '/x C:\pkg\new.msi /qn /l*v C:\pkg\uninstall.log'
  problems=""
  [ "$exit_line" = exit=0 ] || problems="$problems $exit_line;"
  [ ! -e "$folder" ] || problems="$problems $(ls "$folder" | tr '\n' ' ') left;"
  [ -z "$(registered_version "$new_code")" ] || problems="$problems still registered;"
  cmp -s "$record" "$work/record-$arch" || problems="$problems record removed or changed;"
  [ -z "$problems" ] && pass "$tree package: uninstall removes the program folder and keeps the record" \
    || fail "$tree package: uninstall" "$problems"
  wine_stop_prefix
done
finish
