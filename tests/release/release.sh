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
#  - the packages (.msi): tables, files, codes, dates, signatures; installed, run, upgraded, downgraded, removed under Wine.
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
  [ -f "dist/windows-$arch/TAV_PowerSaveSetting.exe" ] && [ -f "dist/windows-$arch/TAV_PowerSaveDataFolder.dll" ] \
    || { fail "release: dist/windows-$arch built" "run scripts/build"; finish; }
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
  echo TAV_PowerSaveSetting-"$version"-windows-{x64,x86}.{zip,msi}
}
msi_of() { echo "$work/$1/TAV_PowerSaveSetting-$2-windows-$3.msi"; }
verdict() { [ -z "$problems" ] && pass "$1" || fail "$1" "$problems"; problems=""; }
# Trees with a companion (made-up: the real one is not built yet); a wixl of another version.
for arch in x64 x86; do mkdir -p "$work/dist/windows-$arch" && cp dist/windows-$arch/TAV_PowerSave{Setting.exe,DataFolder.dll} \
  "$work/dist/windows-$arch/" && echo "companion $arch" >"$work/dist/windows-$arch/TAV_PowerSaveSuspend.exe"; done
mkdir -p "$work/bin" && printf '#!/bin/sh\necho 0.102\n' >"$work/bin/wixl" && chmod +x "$work/bin/wixl"

# --- Bad input ----------------------------------------------------------------------

# name | environment (space-separated assignments) | message expected
bad_cases=(
  "no certificate file|TAV_SIGN_PKCS12=$work/cert/missing.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: no such file"
  "a folder for the certificate|TAV_SIGN_PKCS12=$work/cert TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: not a readable file"
  "not a PKCS#12 file|TAV_SIGN_PKCS12=$work/cert/garbage.p12 TAV_SIGN_PASSWORD=$password|release: TAV_SIGN_PKCS12: cannot read"
  "wrong password|TAV_SIGN_PKCS12=$work/cert/signer.p12 TAV_SIGN_PASSWORD=wrong-$password|release: TAV_SIGN_PKCS12: wrong password"
  "no password for a protected file|TAV_SIGN_PKCS12=$work/cert/signer.p12|release: TAV_SIGN_PKCS12: wrong password"
  "no companion and no switch|TAV_DIST=$work/cert TAV_RELEASE_WITHOUT_COMPANION=|release: $work/cert/windows-x64/TAV_PowerSaveSuspend.exe missing"
  "another wixl version|PATH=$work/bin:$PATH|release: wixl 0.101 is needed"
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

# The packages in `out` from the trees in `from`: tables (upgrade codes for good), dates, files; signed
# ones also their signatures, the product code of the unsigned rebuild and another package code.
declare -A upgrade_code=([x64]="{B24E797F-08FA-4917-9C57-956615E7EA27}" [x86]="{32600A1F-59B0-49C0-8F31-16B4E4175362}")
declare -A program_files=([x64]=ProgramFiles64Folder [x86]=ProgramFilesFolder) attributes=([x64]=256 [x86]=0)
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
msi_rows() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4 | LC_ALL=C sort; }
check_packages() {
  local out=$1 from=$2 arch msi want name file problems
  for arch in x64 x86; do
    msi=$(msi_of "$out" "$version" $arch) want=TAV_PowerSaveSetting.exe problems=""
    [ ! -f "$from/windows-$arch/TAV_PowerSaveSuspend.exe" ] || want+=" TAV_PowerSaveSuspend.exe"
    [ "$(msi_rows "$msi" File | cut -f3 | xargs)" = "$want" ] || problems+=" files;"
    [ "$(msi_rows "$msi" Directory | xargs)" = "INSTALLFOLDER VendorFolder TAV_PowerSave ${program_files[$arch]} TARGETDIR . TARGETDIR SourceDir VendorFolder ${program_files[$arch]} VARENTO" ] || problems+=" directories;"
    [ "$(msi_rows "$msi" Component | cut -f4 | sort -u)" = "${attributes[$arch]}" ] || problems+=" component attributes;"
    # The install step: deferred (1024), as SYSTEM (2048), a DLL of the Binary table (1), after InstallFiles, not on uninstall.
    [ "$(msi_rows "$msi" CustomAction | tr '\t\n' '|;')" = "MakeDataFolder|3073|DataFolderStep|MakeDataFolder|;MakeDataFolder.Data|2099|MakeDataFolder|[CommonAppDataFolder]|;" ] \
      && [ "$(msi_rows "$msi" InstallExecuteSequence | grep -E '^(InstallFiles|MakeDataFolder)' | tr '\t\n' '|;')" = 'InstallFiles||4000;MakeDataFolder|NOT REMOVE~="ALL"|4002;MakeDataFolder.Data|NOT REMOVE~="ALL"|4001;' ] \
      && { msiinfo extract "$msi" Binary.DataFolderStep >"$work/step.dll" && { cmp -s "$work/step.dll" "$from/windows-$arch/TAV_PowerSaveDataFolder.dll" \
        || osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$work/step.dll" >/dev/null 2>&1; }; } || problems+=" install step;"
    for name in ALLUSERS=1 Manufacturer=VARENTO ProductVersion="$version" UpgradeCode="${upgrade_code[$arch]}"; do
      [ "$(msi_property "$msi" "${name%%=*}")" = "${name#*=}" ] || problems+=" ${name%%=*};"
    done
    [ "$(msi_rows "$msi" Upgrade | cut -f1-5 | tr '\t\n' '|;')" = "${upgrade_code[$arch]}||$version||1;${upgrade_code[$arch]}|$version|||2;" ] \
      && grep -q 'A newer version of TAV_PowerSaveSetting is already installed' <(msi_rows "$msi" LaunchCondition) || problems+=" upgrades;"
    [ "$(date -d "$(msiinfo suminfo "$msi" | sed -n 's/^Created: //p')" +%s)" = "${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" ] || problems+=" date;"
    msiextract -C "$work/$out/$arch-files" "$msi" >/dev/null 2>&1 && for name in $want; do file=$(find "$work/$out/$arch-files" -name "$name")
      cmp -s "$file" "$from/windows-$arch/$name" || osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$file" >/dev/null 2>&1 || problems+=" $name;"; done
    [ "$out" = unsigned ] || { osslsigncode verify -CAfile "$work/cert/cert.pem" -in "$msi" >/dev/null 2>&1 && [ "$(msi_property "$msi" ProductCode)" = "$(msi_property "$(msi_of unsigned "$version" $arch)" ProductCode)" ] \
      && ! cmp -s <(msiinfo suminfo "$msi") <(msiinfo suminfo "$(msi_of unsigned "$version" $arch)"); } || problems+=" signature or codes;"
    verdict "release $out: $arch package tables and files"
  done
}

run_release "$work/unsigned" TAV_DIST="$work/dist"
[ "$status" -eq 0 ] && grep -q 'NOT signed' <<<"$output" \
  && pass "release: unsigned run says so" || fail "release: unsigned run" "exit $status: $(tail -n2 <<<"$output")"
check_archives "$work/unsigned" "release unsigned"
check_packages unsigned "$work/dist"
for arch in x64 x86; do
  cmp -s "$work/unsigned/$arch/TAV_PowerSaveSetting.exe" "dist/windows-$arch/TAV_PowerSaveSetting.exe" \
    && pass "release unsigned: $arch executable is the one of dist/" \
    || fail "release unsigned: $arch executable is the one of dist/"
done
sleep 1 && run_release "$work/unsigned-again" TAV_DIST="$work/dist" TZ=Asia/Tokyo # another second and zone
same=yes
for name in $(archive_names); do
  cmp -s "$work/unsigned/$name" "$work/unsigned-again/$name" || same=no
done
[ "$same" = yes ] && pass "release unsigned: two runs give identical archives and packages" \
  || fail "release unsigned: two runs give identical archives and packages"

# --- Signed ----------------------------------------------------------------------------

# dist/ has only the stand-in companion (test-equipment/): the packages take the tool alone.
output=$(env -u TAV_SIGN_TIMESTAMP_URL -u TAV_PACKAGE_VERSION TAV_RELEASE_DIR="$work/signed" TAV_SIGN_PKCS12="$work/cert/signer.p12" \
  TAV_SIGN_PASSWORD="$password" TAV_RELEASE_WITHOUT_COMPANION=1 ./scripts/release 2>&1)
status=$?
[ "$status" -eq 0 ] && [ "$(grep -c 'signed and verified' <<<"$output")" -eq 4 ] \
  && pass "release: signed run (with its build)" || fail "release: signed run" "exit $status: $(tail -n3 <<<"$output")"
check_archives "$work/signed" "release signed"
check_packages signed dist
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
bumped=${version%.*}.$((${version##*.} + 1))
run_release "$work/bumped" TAV_DIST="$work/dist" TAV_PACKAGE_VERSION="$bumped"
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
[ "$TAV_RUNS_32BIT" != yes ] || [ -n "$wine_loader32" ] && wine_select_trees windows-x64 windows-x86 \
  || { echo "SKIP windows-x86 under Wine: wine32 is not installed"; wine_select_trees windows-x64; }
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
# --- The packages under Wine: msiexec through the launcher (exit codes above 255) with the packages with companion, then bumped.
in_wine() { printf '%s' "$1" >"$drive/equip/command.txt"; exit_line=$("$wine" 'C:\equip\launcher.exe' 'C:\equip\command.txt' 2>/dev/null | tr -d '\r'); }
registered() { "$wine" reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$1" /v DisplayVersion 2>/dev/null | awk '/DisplayVersion/ { print $3 }' | tr -d '\r'; }
# The install step's cases: what is planted at ProgramData\VARENTO (its file
# says "mine"); whether its content is found whole under VARENTO.moved-<n>
# and the install log (C:\pkg\<log>) says so.
plant() {
  case $1 in
    link) mkdir -p "$drive/data/elsewhere" && echo mine >"$drive/data/elsewhere/file.txt" && ln -s "$drive/data/elsewhere" "$vendor" ;;
    user) mkdir -p "$vendor" && echo mine >"$vendor/file.txt" && chown -R 65534:65534 "$vendor" 2>/dev/null ;;
  esac
}
moved_aside() {
  [ "$(cat "$vendor.moved-$1/file.txt")" = mine ] && grep -aqF "moved aside to C:\\ProgramData\\VARENTO.moved-$1" "$drive/pkg/$2"
}
for tree in "${wine_trees[@]}"; do
  wine_new_prefix "$([ "$tree" = windows-x64 ] && echo win64 || echo win32)" "$work/msi-$tree" || { fail "$tree package: Wine prefix"; continue; }
  folder="$drive/Program Files/VARENTO/TAV_PowerSave" record="$drive/ProgramData/VARENTO/TAV_POWERSAVE/Setting.ini" arch=${tree#windows-} problems=""
  mkdir -p "$drive"/{equip,pkg,data,standin} && cp "dist/$tree/test-equipment/launcher.exe" "$drive/equip/"
  cp "$(msi_of unsigned "$version" $arch)" "$drive/pkg/old.msi" && cp "$(msi_of bumped "$bumped" $arch)" "$drive/pkg/new.msi"
  old=$(msi_property "$drive/pkg/old.msi" ProductCode) new=$(msi_property "$drive/pkg/new.msi" ProductCode)
  # A symbolic link at ProgramData\VARENTO: Wine renames its target, not the link (Windows renames the link),
  # so the step cannot make the folder where Wine's dangling link stays, and stops the installation.
  vendor=$drive/ProgramData/VARENTO && plant link
  in_wine 'msiexec /i C:\pkg\old.msi /qn /l*v C:\pkg\link.log'
  [ "$exit_line" = exit=1603 ] && moved_aside 1 link.log && grep -aqF 'could not create C:\ProgramData\VARENTO' "$drive/pkg/link.log" \
    && [ -z "$(registered "$old")" ] || problems+=" $exit_line;"
  verdict "$tree package: a link at ProgramData\\VARENTO: its content moved aside whole, the log says so, Wine's link left and refused"
  rm "$vendor"
  in_wine 'msiexec /i C:\pkg\old.msi /qn /l*v C:\pkg\install.log'
  [ -d "$vendor/TAV_POWERSAVE" ] && [ ! -L "$vendor" ] && grep -aqF 'data folder: created C:\ProgramData\VARENTO\TAV_POWERSAVE' "$drive/pkg/install.log" \
    || problems+=" data folder not made;"
  [ "$exit_line" = exit=0 ] && [ "$(registered "$old")" = "$version" ] && diff -r -x '*.dll' "$folder" "$work/dist/$tree" >/dev/null || problems+=" install $exit_line;"
  cp "dist/$tree/test-equipment"/{powercfg.exe,schtasks.exe,powrprof.dll} "$folder/"
  printf '[GENERAL]\r\nVersion=2.00.000\r\nName=Package test\r\n' >"$drive/data/profile.ini"
  TAV_STANDIN_DIR='C:\standin' WINEDLLOVERRIDES="mscoree,mshtml=;powrprof=n,b" \
    in_wine '"C:\Program Files\VARENTO\TAV_PowerSave\TAV_PowerSaveSetting.exe" /N:"C:\data\profile.ini"'
  rm "$folder"/{powercfg.exe,schtasks.exe,powrprof.dll} # stand-ins for the run only
  [ "$exit_line" = exit=0 ] && [ "$(wc -l <"$drive/standin/powercfg.log")" -eq 14 ] && cp "$record" "$work/record-$arch" || problems+=" run $exit_line;"
  verdict "$tree package: installed into C:\\Program Files\\VARENTO\\TAV_PowerSave, the data folder made, the tool applies a profile there"
  in_wine 'msiexec /i C:\pkg\new.msi /qn /l*v C:\pkg\upgrade.log'
  [ "$exit_line" = exit=0 ] && [ -z "$(registered "$old")" ] && [ "$(registered "$new")" = "$bumped" ] \
    && diff -r -x '*.dll' "$folder" "$work/dist/$tree" >/dev/null && cmp -s "$record" "$work/record-$arch" \
    && grep -aqF 'data folder: kept C:\ProgramData\VARENTO\TAV_POWERSAVE' "$drive/pkg/upgrade.log" || problems+=" $exit_line;"
  verdict "$tree package: $bumped replaces $version in place, the data folder and its record kept"
  # Under /qn Wine logs the refusal's cause, not its text (Windows logs both).
  in_wine 'msiexec /i C:\pkg\old.msi /qn /l*v C:\pkg\downgrade.log'
  [[ $exit_line =~ ^exit=16(03|38)$ ]] && [ "$(registered "$new")" = "$bumped" ] \
    && grep -aqF "WIX_DOWNGRADE_DETECTED = $new" "$drive/pkg/downgrade.log" || problems+=" $exit_line;"
  verdict "$tree package: a downgrade to $version is refused ($exit_line)"
  in_wine 'msiexec /x C:\pkg\new.msi /qn /l*v C:\pkg\uninstall.log'
  [ "$exit_line" = exit=0 ] && [ ! -e "$folder" ] && [ -z "$(registered "$new")" ] && cmp -s "$record" "$work/record-$arch" \
    || problems+=" $exit_line, folder: $(ls "$folder" 2>&1 | xargs), record: $(ls "$record" 2>&1);"
  verdict "$tree package: uninstall removes the program folder and keeps the record"
  # Another user's folder (owner uid 65534, which Wine reads as no trusted account) at ProgramData\VARENTO.
  rm -rf "$vendor" && if plant user; then
    in_wine 'msiexec /i C:\pkg\new.msi /qn /l*v C:\pkg\reinstall.log'
    [ "$exit_line" = exit=0 ] && moved_aside 2 reinstall.log && [ -d "$vendor/TAV_POWERSAVE" ] || problems+=" $exit_line;"
    verdict "$tree package: another user's folder at ProgramData\\VARENTO is moved aside, content intact, and a new one made"
  else echo "SKIP $tree package: another user's folder: chown needs root"; fi
  wine_stop_prefix
done
finish
