#include "text.h"

#include <string.h>

char* CopyName(const char* name) {
    size_t length = strlen(name);
    char* copy = new char[length + 1];
    memcpy(copy, name, length + 1);
    return copy;
}
