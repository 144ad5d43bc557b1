// Low-level file calls of the Microsoft C runtime.
#pragma once

#include "wincrt.h"
