// Extras of the Microsoft C runtime: low-level file calls, string helpers, its random sequence
// and text-mode streams whose line ends are CR LF.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdio.h>
#include <stdlib.h>

int _creat(const char* filename, int pmode);
int _close(int fd);
// 0 when the file exists and allows the access asked (0 exists, 2 write, 4 read, 6 both), else -1.
int _access(const char* path, int mode);
char* _itoa(int value, char* buffer, int radix);
char* _strlwr(char* str);
char* _strupr(char* str);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);

// The Windows runtime's random sequence and text streams. The standard names stay, so that
// rand, ::rand and std::rand (fopen alike) are one function as on Windows; only the symbols they
// link to are the runtime's own (defined in platform/win32/crt.cpp).
#ifdef __USE_FILE_OFFSET64
#error "fopen cannot be given the Windows runtime's stream when _FILE_OFFSET_BITS is 64"
#endif
extern "C" {
int rand() noexcept __asm__("wincrt_rand");
void srand(unsigned int seed) noexcept __asm__("wincrt_srand");
// Opens a file by a Windows path; text mode ("t" or no "b") turns "\n" into CR LF on write and
// CR LF into "\n" on read.
FILE* fopen(const char* path, const char* mode) __asm__("wincrt_fopen");
}

#undef RAND_MAX
#define RAND_MAX 0x7fff
