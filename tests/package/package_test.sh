#!/usr/bin/env bash
# Checks of the release package, one per run:
#   package_test.sh CHECK SOURCE_DIR BUILD_DIR
set -euo pipefail
check="$1" src="$2" build="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

package() {  # package OUT [env...]: runs the packaging script into OUT
    local out="$1"; shift
    env "$@" "$src/scripts/package.sh" --out "$out" >"$work/package.log" 2>&1
}
only_zip() {  # only_zip DIR [sdk]: the one updater zip in DIR, or the one SDK zip
    local zip kind zips=()
    for zip in "$1"/velto1-*.zip; do
        case "$(basename "$zip")" in velto1-sdk-*) kind=sdk ;; *) kind= ;; esac
        if [ "$kind" = "${2:-}" ]; then zips+=("$zip"); fi
    done
    [ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "expected one ${2:-updater} zip in $1: $(ls "$1")"
    echo "${zips[0]}"
}
pe_timestamp() {  # pe_timestamp FILE: TimeDateStamp of the PE file header
    local pe
    pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    [ "$(od -An -c -j"$pe" -N2 "$1" | tr -d ' ')" = PE ] || fail "$1 is no PE file"
    od -An -tu4 -j$((pe + 8)) -N4 "$1" | tr -d ' '
}

case "$check" in
NoBuildTimestamps)
    # Every shipped or tested binary of both builds carries time 0.
    for arch in x86 x64; do "$src/scripts/build.sh" "$arch" >/dev/null; done
    for file in "$src"/build/mingw-{x86,x64}/app/velto1.exe \
                "$src"/build/mingw-{x86,x64}/cli/velto1cli.exe \
                "$src"/build/mingw-{x86,x64}/simdevice/filter/simdevice.dll \
                "$src"/build/mingw-{x86,x64}/tools/simdevctl/simdevctl.exe \
                "$src"/build/mingw-{x86,x64}/tools/chipctl/chipctl.exe \
                "$src"/build/mingw-{x86,x64}/regconsole/regconsole.exe; do
        [ "$(pe_timestamp "$file")" = 0 ] || fail "$file has build time $(pe_timestamp "$file")"
    done
    ;;
ReproducibleBuild)
    # A second build of the program from the same sources, in another folder,
    # gives the same bytes.
    cmake -S "$src" -B "$work/again" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" >/dev/null
    cmake --build "$work/again" --target velto1 >/dev/null
    cmp "$build/app/velto1.exe" "$work/again/app/velto1.exe" || fail "velto1.exe differs between two builds"
    # So does what the SDK ships.
    cmake --build "$work/again" --target devctl chipctl regconsole >/dev/null
    for file in devctl/libdevctl.a tools/chipctl/chipctl.exe regconsole/regconsole.exe; do
        cmp "$build/$file" "$work/again/$file" || fail "$file differs between two builds"
    done
    ;;
SameZipTwice)
    package "$work/one"
    package "$work/two"
    cmp "$(only_zip "$work/one")" "$(only_zip "$work/two")" || fail "two packagings differ"
    cmp "$(only_zip "$work/one" sdk)" "$(only_zip "$work/two" sdk)" || fail "two SDK packagings differ"
    ;;
Contents)
    package "$work/out"
    grep -qx "package: VELTO1_SIGN_PFX is not set: the executables are not signed" "$work/package.log" ||
        fail "no word that the package is unsigned: $(cat "$work/package.log")"
    zip=$(only_zip "$work/out")
    [ "$(basename "$zip")" = "velto1-$(git -C "$src" describe --always --dirty).zip" ] || fail "named $zip"
    [ "$(unzip -Z1 "$zip" | tr '\n' ' ')" = "x86/velto1.exe x86/velto1cli.exe x64/velto1.exe x64/velto1cli.exe README.txt deploy/install.cmd deploy/detect.ps1 deploy/detect-x64.ps1 SHA256SUMS " ] ||
        fail "entries: $(unzip -Z1 "$zip" | tr '\n' ' ')"
    unzip -q "$zip" -d "$work/unpacked"
    (cd "$work/unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
    for recipe in install.cmd detect.ps1 detect-x64.ps1; do
        cmp "$work/unpacked/deploy/$recipe" "$src/deploy/$recipe" || fail "deploy/$recipe differs"
    done
    cmp "$work/unpacked/x86/velto1.exe" "$src/build/mingw-x86/app/velto1.exe" || fail "x86 build"
    cmp "$work/unpacked/x64/velto1.exe" "$src/build/mingw-x64/app/velto1.exe" || fail "x64 build"
    for arch in x86 x64; do
        cmp "$work/unpacked/$arch/velto1cli.exe" "$src/build/mingw-$arch/cli/velto1cli.exe" ||
            fail "$arch velto1cli build"
    done
    [ "$(od -An -tu2 -j$(($(od -An -tu4 -j60 -N4 "$work/unpacked/x86/velto1.exe") + 4)) -N2 \
        "$work/unpacked/x86/velto1.exe" | tr -d ' ')" = 332 ] || fail "x86/velto1.exe is not an i386 program"
    # The read-me: Japanese first, then English; which build, which Windows,
    # and what W001 with the device attached means.
    readme="$work/unpacked/README.txt"
    grep -q "^Version [0-9]*\.[0-9]*\.[0-9]* (commit $(git -C "$src" rev-parse --short=12 HEAD))" "$readme" ||
        fail "README.txt does not name the version and commit"
    for text in "32ビット版" "Windows 7 以降" "W001" "もう一方の版" "Windows 7 or later" "try the other build" \
                "velto1cli" "velto1cli check" "velto1cli detect" "install.cmd" "SYSTEM" "VELTO1_RECORD"; do
        grep -q "$text" "$readme" || fail "README.txt lacks '$text'"
    done
    [ "$(grep -n '\[日本語\]' "$readme" | cut -d: -f1)" -lt "$(grep -n '\[English\]' "$readme" | cut -d: -f1)" ] ||
        fail "README.txt: Japanese does not come first"
    ;;
SdkContents)
    package "$work/out"
    zip=$(only_zip "$work/out" sdk)
    [ "$(basename "$zip")" = "velto1-sdk-$(git -C "$src" describe --always --dirty).zip" ] || fail "named $zip"
    entries=""
    for arch in x86 x64; do
        entries+="$arch/bin/chipctl.exe $arch/bin/regconsole.exe $arch/include/devctl/call_recorder.h "
        entries+="$arch/include/devctl/custom_property.h "
        entries+="$arch/include/devctl/device_control.h $arch/include/devctl/i2c_layout.h $arch/include/devctl/i2c_word.h "
        entries+="$arch/lib/cmake/devctl/devctlConfig.cmake $arch/lib/cmake/devctl/devctlConfigVersion.cmake "
        entries+="$arch/lib/cmake/devctl/devctlTargets-release.cmake $arch/lib/cmake/devctl/devctlTargets.cmake "
        entries+="$arch/lib/libdevctl.a "
    done
    [ "$(unzip -Z1 "$zip" | tr '\n' ' ')" = "${entries}README.md SHA256SUMS " ] ||
        fail "entries: $(unzip -Z1 "$zip" | tr '\n' ' ')"
    unzip -q "$zip" -d "$work/sdk"
    (cd "$work/sdk" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
    [ "$(cut -d' ' -f3 "$work/sdk/SHA256SUMS" | tr '\n' ' ')" = "${entries}README.md " ] ||
        fail "SHA256SUMS lists $(cut -d' ' -f3 "$work/sdk/SHA256SUMS" | tr '\n' ' ')"
    for arch in x86 x64; do
        for file in bin/chipctl.exe:tools/chipctl/chipctl.exe bin/regconsole.exe:regconsole/regconsole.exe \
                    lib/libdevctl.a:devctl/libdevctl.a; do
            cmp "$work/sdk/$arch/${file%%:*}" "$src/build/mingw-$arch/${file#*:}" ||
                fail "$arch/${file%%:*} is not the build's"
        done
        for header in call_recorder.h custom_property.h device_control.h i2c_layout.h i2c_word.h; do
            cmp "$work/sdk/$arch/include/devctl/$header" "$src/devctl/include/devctl/$header" ||
                fail "$arch/include/devctl/$header is not the source's"
        done
    done
    # The read-me is the library's guide, as it stands in the sources.
    cmp "$work/sdk/README.md" "$src/docs/library.md" || fail "README.md is not docs/library.md"
    # The x86 package builds a program from where it was unpacked.
    cmake -S "$src/tests/package/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-i686.cmake" -Ddevctl_DIR="$work/sdk/x86/lib/cmake/devctl" \
        >"$work/consumer.log" 2>&1 && cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 ||
        fail "a program on the unpacked x86 package: $(cat "$work/consumer.log")"
    ;;
Signed)
    # A throwaway code-signing certificate, made here.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=velto1 test signer" \
        -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:secret \
        -out "$work/signer.pfx"
    package "$work/out" VELTO1_SIGN_PFX="$work/signer.pfx" VELTO1_SIGN_PASSWORD=secret ||
        fail "signed packaging failed: $(cat "$work/package.log")"
    zip=$(only_zip "$work/out")
    unzip -q "$zip" -d "$work/unpacked"
    for program in x86/velto1.exe x86/velto1cli.exe x64/velto1.exe x64/velto1cli.exe; do
        osslsigncode verify -CAfile "$work/cert.pem" -in "$work/unpacked/$program" \
            >"$work/verify.log" 2>&1 || fail "$program signature: $(cat "$work/verify.log")"
    done
    (cd "$work/unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS names the unsigned files"
    unzip -q "$(only_zip "$work/out" sdk)" -d "$work/sdk"
    for exe in {x86,x64}/bin/{chipctl,regconsole}.exe; do
        osslsigncode verify -CAfile "$work/cert.pem" -in "$work/sdk/$exe" \
            >"$work/verify.log" 2>&1 || fail "SDK $exe signature: $(cat "$work/verify.log")"
    done
    (cd "$work/sdk" && sha256sum --quiet -c SHA256SUMS) || fail "the SDK's SHA256SUMS names the unsigned files"
    ;;
SigningFailureWritesNoZip)
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=velto1 test signer" \
        -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
    openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:secret \
        -out "$work/signer.pfx"
    for pfx in "$work/signer.pfx" "$work/missing.pfx"; do
        mkdir -p "$work/out"
        if package "$work/out" VELTO1_SIGN_PFX="$pfx" VELTO1_SIGN_PASSWORD=wrong; then
            fail "packaging with $pfx and a wrong password succeeded"
        fi
        [ -z "$(ls -A "$work/out")" ] || fail "a failed signing left $(ls -A "$work/out")"
    done
    ;;
*)
    fail "unknown check $check"
    ;;
esac
echo "ok: $check"
