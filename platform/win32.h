#pragma once

// The window-system API under its Windows names: the real one on Windows, our
// own everywhere else.
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/winsys/winapi.h"
#endif
