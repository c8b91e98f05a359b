/* Preloaded into 32-bit Wine when it runs under qemu-i386 (machines that run
 * 64-bit user code only). Wine reserves its address space with mmap hints and
 * MAP_FIXED_NOREPLACE; qemu's user-mode emulator ignores both, so every
 * reservation lands elsewhere, and Wine splits each failed range in halves down
 * to 64 KiB: some 65,000 mmap calls and a minute per process start. Here
 * MAP_FIXED_NOREPLACE gets its real meaning: the range is checked against the
 * process's mappings (qemu lists the guest's in /proc/self/maps) and mapped
 * with MAP_FIXED when free, else the call fails with EEXIST. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MAP_FIXED_NOREPLACE
#define MAP_FIXED_NOREPLACE 0x100000
#endif

static char maps[1 << 18];

/* Reads one hexadecimal number at *p and moves past it. */
static uintptr_t read_hex(const char** p) {
    char* end;
    const uintptr_t value = (uintptr_t)strtoul(*p, &end, 16);
    *p = end;
    return value;
}

/* 1 when [start, end) overlaps a mapping of this process (or cannot be told). */
static int range_in_use(uintptr_t start, uintptr_t end) {
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 1;
    size_t used = 0;
    ssize_t got;
    while (used < sizeof maps - 1 && (got = read(fd, maps + used, sizeof maps - 1 - used)) > 0) {
        used += (size_t)got;
    }
    close(fd);
    maps[used] = 0;
    for (const char* p = maps; *p;) {
        const uintptr_t low = read_hex(&p);
        if (*p == '-') {
            ++p;
            const uintptr_t high = read_hex(&p);
            if (low < end && start < high)
                return 1;
        }
        while (*p && *p != '\n')
            ++p;
        if (*p)
            ++p;
    }
    return 0;
}

typedef void* (*mmap64_fn)(void*, size_t, int, int, int, off64_t);

void* mmap64(void* addr, size_t length, int prot, int flags, int fd, off64_t offset) {
    static mmap64_fn real_mmap64;
    if (!real_mmap64)
        real_mmap64 = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
    if ((flags & MAP_FIXED_NOREPLACE) && !(flags & MAP_FIXED)) {
        const uintptr_t start = (uintptr_t)addr;
        if (start + length < start || range_in_use(start, start + length)) {
            errno = EEXIST;
            return MAP_FAILED;
        }
        flags = (flags & ~MAP_FIXED_NOREPLACE) | MAP_FIXED;
    }
    return real_mmap64(addr, length, prot, flags, fd, offset);
}

void* mmap(void* addr, size_t length, int prot, int flags, int fd, off_t offset) {
    return mmap64(addr, length, prot, flags, fd, offset);
}
