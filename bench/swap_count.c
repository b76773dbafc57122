/* Counts the pictures a program presents. Preloaded into it, it passes
 * every glXSwapBuffers and eglSwapBuffers on and adds one to a counter kept
 * in the file named by SWAP_COUNT_FILE (8 bytes, native order), followed by
 * the time of the first (CLOCK_REALTIME, in nanoseconds, as `date +%s%N`
 * gives it), which a script reads while the program runs:
 *   SWAP_COUNT_FILE=/tmp/n LD_PRELOAD=build/bench/libswap_count.so PROGRAM */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static volatile uint64_t* counter(void) {
    static volatile uint64_t* mapped;
    static int tried;
    if (!tried) {
        tried = 1;
        const char* path = getenv("SWAP_COUNT_FILE");
        int fd = path ? open(path, O_RDWR | O_CREAT, 0644) : -1;
        if (fd >= 0 && ftruncate(fd, 2 * sizeof(uint64_t)) == 0) {
            void* p = mmap(NULL, 2 * sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (p != MAP_FAILED) mapped = p;
        }
        if (fd >= 0) close(fd);
    }
    return mapped;
}

static void count(void) {
    volatile uint64_t* c = counter();
    if (!c) return;
    if (c[1] == 0) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        c[1] = (uint64_t)now.tv_sec * 1000000000u + (uint64_t)now.tv_nsec;
    }
    __atomic_add_fetch(c, 1, __ATOMIC_RELAXED);
}

void glXSwapBuffers(void* display, unsigned long drawable) {
    static void (*next)(void*, unsigned long);
    if (!next) next = (void (*)(void*, unsigned long))dlsym(RTLD_NEXT, "glXSwapBuffers");
    count();
    next(display, drawable);
}

unsigned eglSwapBuffers(void* display, void* surface) {
    static unsigned (*next)(void*, void*);
    if (!next) next = (unsigned (*)(void*, void*))dlsym(RTLD_NEXT, "eglSwapBuffers");
    count();
    return next(display, surface);
}
