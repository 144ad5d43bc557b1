// Strings in memory of their own.
#pragma once

// A copy of a string (delete[] frees it).
char* CopyName(const char* name);
