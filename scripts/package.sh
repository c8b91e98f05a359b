#!/usr/bin/env bash
# Builds velto1.exe and velto1cli.exe for x86 and x64 and writes the release
# package dist/velto1-VERSION.zip (VERSION from `git describe --always --dirty`):
# x86/ and x64/ with both programs, deploy/ with the deployment recipes,
# README.txt and SHA256SUMS. Beside it the SDK
# download dist/velto1-sdk-VERSION.zip: for x86/ and x64/ the devctl package
# (include/, lib/, lib/cmake/devctl/) and bin/ with chipctl.exe and
# regconsole.exe, README.md (the library's guide, docs/library.md) and SHA256SUMS.
#
# Reproducible: the same commit gives the same executables and the same zip
# (no link timestamps; the files carry the commit's time and go in a fixed
# order). With VELTO1_SIGN_PFX (and VELTO1_SIGN_PASSWORD) naming a PKCS#12
# code-signing certificate, the executables of both zips are Authenticode-signed
# with osslsigncode before zipping; a signing failure fails the script and writes
# no zip.
#
#   scripts/package.sh [--out DIR]     (default dist/)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/wine-env.sh"
out="$root/dist"
while [ $# -gt 0 ]; do
    case "$1" in
        --out) [ $# -ge 2 ] || { echo "usage: scripts/package.sh [--out DIR]" >&2; exit 2; }; out="$2"; shift 2 ;;
        *) echo "usage: scripts/package.sh [--out DIR]" >&2; exit 2 ;;
    esac
done

version=$(git -C "$root" describe --always --dirty)
# The commit's time stands for every file's time; a dirty tree keeps HEAD's.
epoch=$(git -C "$root" log -1 --format=%ct)
for arch in x86 x64; do "$root/scripts/build.sh" "$arch" >/dev/null; done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/x86" "$stage/x64"
for arch in x86 x64; do
    cp "$(velto1_build_dir "$arch")/app/velto1.exe" "$stage/$arch/velto1.exe"
    cp "$(velto1_build_dir "$arch")/cli/velto1cli.exe" "$stage/$arch/velto1cli.exe"
done
programs=(x86/velto1.exe x86/velto1cli.exe x64/velto1.exe x64/velto1cli.exe)
# README.txt names the version and commit the programs carry.
build_info="$(velto1_build_dir x86)/generated/velto1_build_info.h"
product_version=$(sed -n 's/^#define VELTO1_VERSION "\(.*\)"$/\1/p' "$build_info")
commit=$(sed -n 's/^#define VELTO1_COMMIT "\(.*\)"$/\1/p' "$build_info")
sed -e "s/@VERSION@/$product_version/" -e "s/@COMMIT@/$commit/" \
    "$root/resources/release-README.txt" >"$stage/README.txt"

if [ -n "${VELTO1_SIGN_PFX:-}" ]; then
    for program in "${programs[@]}"; do
        exe="$stage/$program"
        if ! osslsigncode sign -pkcs12 "$VELTO1_SIGN_PFX" -pass "${VELTO1_SIGN_PASSWORD:-}" \
            -h sha256 -n "velto1" -in "$exe" -out "$exe.signed" >"$stage/sign.log" 2>&1; then
            echo "package: signing $program failed:" >&2
            cat "$stage/sign.log" >&2
            exit 1
        fi
        mv "$exe.signed" "$exe"
    done
    echo "package: the executables signed with $VELTO1_SIGN_PFX"
else
    echo "package: VELTO1_SIGN_PFX is not set: the executables are not signed"
fi

# The deployment tools' recipes (docs/deploying.md), as shipped files.
mkdir -p "$stage/deploy"
recipes=(deploy/install.cmd deploy/detect.ps1 deploy/detect-x64.ps1)
for recipe in "${recipes[@]}"; do cp "$root/$recipe" "$stage/$recipe"; done

files=("${programs[@]}" README.txt "${recipes[@]}")
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)
files+=(SHA256SUMS)
for f in "${files[@]}" x86 x64 deploy; do touch -h -d "@$epoch" "$stage/$f"; done

mkdir -p "$out"
zip="$out/velto1-$version.zip"
rm -f "$zip.partial"
# -X: no extra attributes (owner, Unix times); -D: no folder entries; the
# stored DOS times are local times, so the time zone is fixed.
(cd "$stage" && TZ=UTC zip -X -D -q "$zip.partial" "${files[@]}")
mv "$zip.partial" "$zip"
echo "package: $zip"
(cd "$stage" && cat SHA256SUMS)

# The SDK download: each architecture's `cmake --install` (the devctl package
# and the tools), signed like the updater, zipped as reproducibly.
write_sdk_zip() {
    local sdk="$stage/sdk" arch exe files=()
    for arch in x86 x64; do
        cmake --install "$(velto1_build_dir "$arch")" --prefix "$sdk/$arch" >/dev/null
    done
    if [ -n "${VELTO1_SIGN_PFX:-}" ]; then
        for exe in "$sdk"/x86/bin/*.exe "$sdk"/x64/bin/*.exe; do
            if ! osslsigncode sign -pkcs12 "$VELTO1_SIGN_PFX" -pass "${VELTO1_SIGN_PASSWORD:-}" \
                -h sha256 -n "velto1" -in "$exe" -out "$exe.signed" >"$stage/sign.log" 2>&1; then
                echo "package: signing ${exe#"$sdk/"} failed:" >&2
                cat "$stage/sign.log" >&2
                exit 1
            fi
            mv "$exe.signed" "$exe"
        done
    fi
    cp "$root/docs/library.md" "$sdk/README.md"
    for arch in x86 x64; do
        mapfile -t -O ${#files[@]} files < <(cd "$sdk" && find "$arch" -type f | LC_ALL=C sort)
    done
    files+=(README.md)
    (cd "$sdk" && sha256sum "${files[@]}" >SHA256SUMS)
    files+=(SHA256SUMS)
    find "$sdk" -exec touch -h -d "@$epoch" {} +

    local zip="$out/velto1-sdk-$version.zip"
    rm -f "$zip.partial"
    (cd "$sdk" && TZ=UTC zip -X -D -q "$zip.partial" "${files[@]}")
    mv "$zip.partial" "$zip"
    echo "package: $zip"
}
write_sdk_zip
