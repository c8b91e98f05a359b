#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages, for
# both Windows architectures: the x86-64 and i686 MinGW-w64 cross compilers,
# and Wine with its 32-bit half (wine32:i386), so that one 64-bit prefix runs
# 32-bit and 64-bit programs. Idempotent: when everything is there it only
# checks and returns.
#
#   scripts/setup.sh [GROUP...]    (default: every group but fuzz)
#
# Groups: build-x64, build-x86 (CMake, Ninja and that architecture's
# compilers), wine (and i386 programs, natively or under qemu), display (the
# virtual X display, screenshots, the Japanese font) and tests (GoogleTest and
# the test tools, chromium for report's page); fuzz (clang with its sanitizers
# and libFuzzer, for scripts/fuzz.sh) only when asked. The run commands install what they need group by group, so
# that the build can start before Wine is there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build-x64 build-x86 wine display tests)
packages=()
wine_wanted=
for group in "${groups[@]}"; do
  case "$group" in
    build-x64) packages+=(cmake ninja-build g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
                          binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev) ;;
    build-x86) packages+=(cmake ninja-build g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
                          binutils-mingw-w64-i686 mingw-w64-i686-dev) ;;
    wine) packages+=(wine wine64 wine32:i386); wine_wanted=1 ;;
    display) packages+=(xvfb imagemagick fonts-noto-cjk fonts-wine) ;;
    tests) packages+=(make googletest nlohmann-json3-dev x11-utils zip unzip openssl osslsigncode python3
                      chromium) ;;
    fuzz) packages+=(cmake ninja-build clang-14 libclang-rt-14-dev python3) ;;
    *) echo "usage: scripts/setup.sh [build-x64|build-x86|wine|display|tests|fuzz]..." >&2; exit 2 ;;
  esac
done
mapfile -t packages < <(printf '%s\n' "${packages[@]}" | awk '!seen[$0]++')
lagging=()  # suites whose index files this run's update could not fetch
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

install_missing() {
  local missing=() p
  # One query for all when all are there (the usual case), else one each.
  [ "$(dpkg-query -W -f='${Status}\n' "$@" 2>/dev/null | grep -c 'install ok installed')" -eq $# ] && return 0
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  local errors try
  if [ -n "${apt_lists_stale-1}" ]; then
    # A mirror in the middle of a sync fails some index files for a while:
    # try again, then go on with the lists there are; the install tells
    # whether they were enough.
    for try in 1 2 3; do
      errors=$("${sudo_cmd[@]}" apt-get update -qq 2>&1 >/dev/null) && { errors=; break; }
      [ "$try" -eq 3 ] && echo "setup: apt-get update failed 3 times; installing from the lists there are" >&2
      [ "$try" -eq 3 ] || sleep 15
    done
    [ -z "$errors" ] || printf '%s\n' "$errors" | grep -m 3 '^E: Failed to fetch' >&2 || true
    # The suites whose index failed: their other architectures' lists are newer.
    mapfile -t lagging < <(printf '%s\n' "$errors" | sed -n 's#^E: Failed to fetch .*/dists/\([^/]*\)/.*#\1#p' | sort -u)
    apt_lists_stale=
  fi
  # Another script may be installing at the same moment: wait for its lock.
  local install=(apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends)
  errors=$("${sudo_cmd[@]}" "${install[@]}" "${missing[@]}" 2>&1 >/dev/null) && return 0
  if [ ${#lagging[@]} -eq 0 ]; then
    printf '%s\n' "$errors" >&2
    return 1
  fi
  # Half a suite's lists: its amd64 updates have no i386 twins, and Wine's
  # 32-bit half needs both at one version. Packages new here come from the
  # release instead (installed ones keep their version); a later upgrade
  # takes the updates once the mirror has caught up.
  echo "setup: ${lagging[*]} is half-synced on this mirror; installing without its updates" >&2
  local pin suite
  pin=$(mktemp)
  for suite in "${lagging[@]}"; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 90\n\n' "$suite"
  done >"$pin"
  chmod a+r "$pin"
  "${sudo_cmd[@]}" "${install[@]}" -o Dir::Etc::Preferences="$pin" "${missing[@]}" >/dev/null || {
    rm -f "$pin"
    return 1
  }
  rm -f "$pin"
}
if [ -n "$wine_wanted" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture (for wine32)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  apt_lists_stale=1
fi
install_missing "${packages[@]}"
[ -n "$wine_wanted" ] || exit 0

# 32-bit Linux programs (the 32-bit half of Wine) run natively where the kernel
# allows it. Some virtual machines run 64-bit user code only (execve of an i386
# program fails with ENOEXEC); there they run under qemu's user-mode CPU
# emulator, registered for i386 programs through binfmt_misc.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/qemu-i386" ] && ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  install_missing qemu-user-static gcc-multilib
  [ -e "$binfmt/register" ] || "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "$binfmt"
  echo "setup: running i386 programs through qemu-i386-static"
  # The registration is the kernel's, not the mount's: a chroot or a fresh
  # mount may find one made before.
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # Magic and mask of an i386 ELF executable or shared object; F opens the
    # emulator at registration, so it works in every mount namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      "${sudo_cmd[@]}" tee "$binfmt/register" >/dev/null
  fi
fi
if [ -e "$binfmt/qemu-i386" ]; then
  install_missing qemu-user-static gcc-multilib
  "$root/scripts/build-wine32-qemu-shim.sh"
fi
/lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
  echo "setup: i386 programs cannot run on this machine, natively or emulated" >&2
  exit 1
}
