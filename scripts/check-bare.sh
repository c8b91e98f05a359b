#!/usr/bin/env bash
# Proves that a newcomer's first command works on a machine nobody prepared:
# makes a bare Debian 12 root (debootstrap, minbase plus git, from the package
# archive this machine's apt uses), clones this repository's HEAD into it and
# runs the README's run command there as root, once in the bare root and once
# in one that also has GoogleTest (the tests' package a development machine is
# likely to have). Each run must reach the completion message with option
# byte 0x05. With --test, the README's test command runs in a bare root
# instead (long: the whole suite, both architectures); after --, any command
# does (another script, say), and must exit 0.
#
#   scripts/check-bare.sh [--refresh] [--test | -- COMMAND...]
#
# The root's tarball is made once and kept in build/bare-root/ (--refresh
# makes it anew), with the .deb files the runs downloaded, so that later runs
# do not fetch them again; each run starts from a fresh copy of the root. A
# run happens in a mount and process namespace of its own: its mounts and its
# processes (wineserver, Xvfb) end with it. Uncommitted changes are not in the
# clone. Each run's output is kept in build/bare-root/NAME.log.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage() { echo "usage: scripts/check-bare.sh [--refresh] [--test | -- COMMAND...]" >&2; exit 2; }
mode=run refresh= command=
while [ $# -gt 0 ]; do
    case "$1" in
        --test) mode=test command=scripts/test.sh ;;
        --refresh) refresh=1 ;;
        --) shift; [ $# -gt 0 ] || usage; mode=command command=$(printf '%q ' "$@"); break ;;
        *) usage ;;
    esac
    shift
done
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
suite=bookworm
work="$root/build/bare-root"
tarball="$work/debian12-minbase-git.tar"
debs="$work/debs"
mkdir -p "$work" "$debs"
now() { date +%s; }
say() { echo "check-bare: $*"; }

# The archive this machine's apt uses: its first Debian source.
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -n 1)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

if [ -n "$refresh" ] || [ ! -s "$tarball" ]; then
    if ! command -v debootstrap >/dev/null; then
        say "installing debootstrap"
        "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
    fi
    start=$(now)
    say "making a bare Debian 12 root (debootstrap $suite, minbase plus git, from $mirror)"
    staging="$work/staging"
    "${sudo_cmd[@]}" rm -rf "$staging"
    "${sudo_cmd[@]}" debootstrap --variant=minbase --include=git,ca-certificates \
        "$suite" "$staging" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -n 20 "$work/debootstrap.log" >&2
        say "debootstrap failed" >&2
        exit 1
    }
    "${sudo_cmd[@]}" rm -f "$staging"/var/cache/apt/archives/*.deb
    "${sudo_cmd[@]}" tar -C "$staging" -cf "$tarball.partial" .
    mv "$tarball.partial" "$tarball"
    "${sudo_cmd[@]}" rm -rf "$staging"
    say "root made and kept as $tarball ($(($(now) - start)) s)"
else
    say "bare Debian 12 root: $tarball (made $(date -r "$tarball" +%F))"
fi

commit=$(git -C "$root" rev-parse --short HEAD)
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
    say "note: the clone is HEAD ($commit); this tree's uncommitted changes are not in it"

# bare_run NAME EXTRA_PACKAGES COMMAND: COMMAND in a fresh clone inside a fresh
# copy of the root that has EXTRA_PACKAGES (may be empty) installed first.
bare_run() {
    local name="$1" extra="$2" command="$3" dir="$work/$1" log="$work/$1.log" start status
    "${sudo_cmd[@]}" rm -rf --one-file-system "$dir"
    mkdir -p "$dir"
    "${sudo_cmd[@]}" tar -C "$dir" -xf "$tarball"
    # The machine's own view of the archive: its sources and how it reaches them.
    "${sudo_cmd[@]}" rm -f "$dir"/etc/apt/sources.list
    "${sudo_cmd[@]}" cp /etc/apt/sources.list.d/*.sources "$dir/etc/apt/sources.list.d/" 2>/dev/null || true
    [ ! -f /etc/apt/sources.list ] || "${sudo_cmd[@]}" cp /etc/apt/sources.list "$dir/etc/apt/"
    for conf in $(grep -lE 'Acquire::(https?::Proxy|Check-Valid-Until|Check-Date)' /etc/apt/apt.conf.d/* 2>/dev/null); do
        "${sudo_cmd[@]}" cp "$conf" "$dir/etc/apt/apt.conf.d/"
    done
    "${sudo_cmd[@]}" cp /etc/resolv.conf "$dir/etc/resolv.conf"
    "${sudo_cmd[@]}" git clone -q "$root" "$dir/root/velto1"
    local setup="cd /root/velto1"
    [ -z "$extra" ] || setup="apt-get update -qq && apt-get install -y -qq --no-install-recommends $extra >/dev/null && $setup"
    start=$(now)
    say "$name: $command from a fresh clone of $commit${extra:+, with $extra installed first}"
    status=0
    "${sudo_cmd[@]}" timeout 1800 unshare --mount --pid --fork --kill-child bash -c '
        set -e
        dir="$1" debs="$2"
        mount -t proc proc "$dir/proc"
        mount --rbind /dev "$dir/dev"
        mount --rbind /sys "$dir/sys"
        mount -t tmpfs tmpfs "$dir/tmp"
        mkdir -p "$dir/dev/shm" && mount -t tmpfs tmpfs "$dir/dev/shm"
        mount --bind "$debs" "$dir/var/cache/apt/archives"
        exec chroot "$dir" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin bash -c "$3"
    ' - "$dir" "$debs" "$setup && $command" >"$log" 2>&1 </dev/null || status=$?
    local seconds=$(($(now) - start))
    "${sudo_cmd[@]}" rm -rf --one-file-system "$dir"
    if [ "$mode" = run ]; then
        if [ "$status" -eq 0 ] && grep -qx 'message: アップデートが完了しました。' "$log" &&
            grep -qx 'option byte now 0x05' "$log"; then
            say "$name: completion message, option byte 0x05 ($seconds s)"
            return 0
        fi
    elif [ "$status" -eq 0 ]; then
        say "$name: exit 0 ($seconds s)"
        return 0
    fi
    tail -n 30 "$log" | sed 's/^/  | /' >&2
    say "$name: FAILED (exit $status after $seconds s; the whole output: $log)" >&2
    return 1
}

status=0
if [ "$mode" = run ]; then
    bare_run bare "" "scripts/run.sh" || status=1
    bare_run with-googletest googletest "scripts/run.sh" || status=1
else
    bare_run "bare-$mode" "" "$command" || status=1
fi
exit $status
