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
char* _itoa(int value, char* buffer, int radix);
char* _strlwr(char* str);
char* _strupr(char* str);
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);

namespace wincrt {
int rand();
void srand(unsigned int seed);
// Opens a file by a Windows path; text mode ("t" or no "b") turns "\n" into CR LF on write and
// CR LF into "\n" on read.
FILE* fopen(const char* path, const char* mode);
}  // namespace wincrt

// The game sees the Windows runtime's sequence, range and text streams.
#undef RAND_MAX
#define RAND_MAX 0x7fff
#define rand wincrt::rand
#define srand wincrt::srand
#define fopen wincrt::fopen
