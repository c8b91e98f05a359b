#!/usr/bin/env bash
# The devctl package as a tool builder uses it, one check per run:
#   consumer_test.sh CHECK SOURCE_DIR BUILD_DIR TOOLCHAIN OTHER_TOOLCHAIN
# The package is installed from BUILD_DIR into a folder of the check's own in
# that tree; TOOLCHAIN is the build's toolchain file, OTHER_TOOLCHAIN the
# other architecture's.
set -euo pipefail
check="$1" src="$2" build="$3" toolchain="$4" other_toolchain="$5"
work="$build/package-test/$check"
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --component devctl --prefix "$work/devctl" >"$work/install.log" ||
    fail "install: $(cat "$work/install.log")"
configure() {  # configure TOOLCHAIN: the consumer project against the package
    cmake -S "$src/tests/package/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$1" -Ddevctl_DIR="$work/devctl/lib/cmake/devctl" >"$work/configure.log" 2>&1
}

case "$check" in
Installed)
    # The package and nothing else; its headers include only the system's
    # headers and each other.
    expected="include/devctl/call_recorder.h
include/devctl/custom_property.h
include/devctl/device_control.h
include/devctl/i2c_layout.h
include/devctl/i2c_word.h
lib/cmake/devctl/devctlConfig.cmake
lib/cmake/devctl/devctlConfigVersion.cmake
lib/cmake/devctl/devctlTargets-release.cmake
lib/cmake/devctl/devctlTargets.cmake
lib/libdevctl.a"
    found=$(cd "$work/devctl" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
    [ "$found" = "$expected" ] || fail "installed files: $(echo $found)"
    grep -ho '#include "[^"]*"' "$work/devctl/include/devctl/"*.h | sed 's/#include "\(.*\)"/\1/' |
        while read -r header; do
            [ -f "$work/devctl/include/$header" ] || fail "an installed header includes $header, which is not installed"
        done
    # The target links Windows system libraries by their plain names, and
    # GCC's libssp for the stack protector's checks, and nothing else (the
    # project's own build-only targets leave empty entries).
    links=$(sed -n 's/^ *INTERFACE_LINK_LIBRARIES "\(.*\)"$/\1/p' "$work/devctl/lib/cmake/devctl/devctlTargets.cmake" |
        tr ';' '\n' | grep -vx '\\\$<LINK_ONLY:>' | tr '\n' ' ')
    [ "$links" = "ole32 oleaut32 uuid strmiids advapi32 user32 ssp " ] || fail "link interface: $links"
    ;;
Consumer)
    # Configured, built and run under Wine: no device, then the simulated one.
    configure "$toolchain" || fail "configure: $(cat "$work/configure.log")"
    cmake --build "$work/consumer" >"$work/build.log" 2>&1 || fail "build: $(cat "$work/build.log")"
    simdevctl="$build/tools/simdevctl/simdevctl.exe"
    run() { "$build/wine-run" "$@" 2>&1 | tr -d '\r'; }
    trap 'run "$simdevctl" remove --all >/dev/null' EXIT
    run "$simdevctl" register >/dev/null
    run "$simdevctl" remove --all
    status=0
    output=$(run "$work/consumer/tool.exe") || status=$?
    [ "$status" -eq 1 ] && [ "${output%%:*}" = "no device" ] || fail "without a device: exit $status, $output"
    [ "$(run "$simdevctl" add cam1 --name "USB 7450 Device" --chip-id 0x141)" = "added cam1" ] || fail "add"
    status=0
    output=$(run "$work/consumer/tool.exe") || status=$?
    [ "$status" -eq 0 ] && [ "$output" = "chip id 0x00000141" ] || fail "with the device: exit $status, $output"
    ;;
OtherArchitecture)
    # A project of the other architecture is refused when it is configured,
    # with a message that names both.
    if configure "$other_toolchain"; then
        fail "a project of the other architecture was configured: $(cat "$work/configure.log")"
    fi
    arch=$(grep -o 'built for x[0-9]*' "$work/devctl/lib/cmake/devctl/devctlConfigVersion.cmake" | head -n 1)
    case "$arch" in
        "built for x86") mine="x86 (32-bit)" other="x64 (64-bit)" ;;
        "built for x64") mine="x64 (64-bit)" other="x86 (32-bit)" ;;
        *) fail "the version file names no architecture" ;;
    esac
    grep -qF "holds the $mine build of devctl, and this project is $other: use the package of its architecture" \
        "$work/configure.log" || fail "no clear message: $(cat "$work/configure.log")"
    grep -q "version: [0-9.]*, built for $mine, not for this $other project" "$work/configure.log" ||
        fail "find_package's error does not say why: $(cat "$work/configure.log")"
    ;;
*)
    fail "unknown check $check"
    ;;
esac
rm -rf "$work"
echo "ok: $check"
