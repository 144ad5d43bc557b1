// The system's <sys/stat.h> with the permission flags of the Microsoft C runtime's.
#pragma once

#include_next <sys/stat.h>

#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080
