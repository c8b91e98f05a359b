#!/usr/bin/env bash
# Builds the preload library that lets 32-bit Wine start quickly under
# qemu-i386 (see wine32-qemu-mmap.c), into build/wine32-qemu/, with an empty
# 64-bit twin so that one LD_PRELOAD setting ('$LIB' picks the right one)
# serves the 32-bit and the 64-bit Wine processes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source="$root/scripts/wine32-qemu-mmap.c"
out="$root/build/wine32-qemu"
lib32="$out/lib/i386-linux-gnu/libvelto1-mmap.so"
lib64="$out/lib/x86_64-linux-gnu/libvelto1-mmap.so"
if [ -f "$lib32" ] && [ -f "$lib64" ] && [ "$lib32" -nt "$source" ]; then
    exit 0
fi
mkdir -p "$(dirname "$lib32")" "$(dirname "$lib64")"
gcc -m32 -shared -fPIC -O2 -Wall -Wextra -Werror -o "$lib32" "$source" -ldl
echo 'void velto1_mmap_unused(void) {}' | gcc -x c -shared -fPIC -o "$lib64" -
