/* Counts the SDL2 calls of a program that reaches SDL2 through dlopen and
 * dlsym, as drevel does. Preloaded (LD_PRELOAD), it hands back for every
 * SDL_ function the program looks up a stub that counts the call and jumps
 * on to the real function, arguments untouched. At exit the counts go to the
 * file named by SDL_CALL_COUNT_FILE, one "name count" line per function.
 *
 * Build: cc -shared -fPIC -O2 -o sdl_call_counter.so sdl_call_counter.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SLOTS 64

/* Read by the stubs below by name, hence visible to the assembler. */
__attribute__((visibility("hidden"))) void* counter_targets[SLOTS];
__attribute__((visibility("hidden"))) unsigned long counter_calls[SLOTS];
static const char* slot_names[SLOTS];
static int slots_used;

#define STUB(i)                                                                                    \
    __attribute__((naked)) static void stub_##i(void) {                                            \
        __asm__ volatile("incq counter_calls+8*" #i "(%rip)\n\t"                                   \
                         "jmp *counter_targets+8*" #i "(%rip)");                                   \
    }
/* Slot numbers are written in octal (0ij = 8 * i + j), which the assembler
 * reads as octal too. */
#define STUB8(i)                                                                                   \
    STUB(0##i##0) STUB(0##i##1) STUB(0##i##2) STUB(0##i##3) STUB(0##i##4) STUB(0##i##5)           \
    STUB(0##i##6) STUB(0##i##7)
STUB8(0) STUB8(1) STUB8(2) STUB8(3) STUB8(4) STUB8(5) STUB8(6) STUB8(7)

#define REF8(i)                                                                                    \
    stub_0##i##0, stub_0##i##1, stub_0##i##2, stub_0##i##3, stub_0##i##4, stub_0##i##5,            \
        stub_0##i##6, stub_0##i##7
static void (*const stubs[SLOTS])(void) = {REF8(0), REF8(1), REF8(2), REF8(3),
                                           REF8(4), REF8(5), REF8(6), REF8(7)};

void* dlsym(void* handle, const char* name) {
    static void* (*real_dlsym)(void*, const char*);
    if (real_dlsym == NULL) {
        real_dlsym = (void* (*)(void*, const char*))dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
        if (real_dlsym == NULL)
            real_dlsym = (void* (*)(void*, const char*))dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
    }
    void* function = real_dlsym(handle, name);
    if (function == NULL || strncmp(name, "SDL_", 4) != 0) return function;
    for (int i = 0; i < slots_used; ++i)
        if (counter_targets[i] == function) return (void*)stubs[i];
    if (slots_used == SLOTS) return function;
    counter_targets[slots_used] = function;
    slot_names[slots_used] = strdup(name);
    return (void*)stubs[slots_used++];
}

__attribute__((destructor)) static void write_counts(void) {
    const char* path = getenv("SDL_CALL_COUNT_FILE");
    if (path == NULL || slots_used == 0) return; /* not the program that uses SDL */
    FILE* out = fopen(path, "w");
    if (out == NULL) return;
    for (int i = 0; i < slots_used; ++i)
        fprintf(out, "%s %lu\n", slot_names[i], counter_calls[i]);
    fclose(out);
}
