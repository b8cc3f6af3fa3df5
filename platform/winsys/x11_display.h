#pragma once

// The X11 screen behind our window system. The class itself (X11Display)
// lives in the source file, so that Xlib's macros (None, FocusIn, Bool, ...)
// reach no one who includes this header.

#include "platform/winsys/display.h"

#include <memory>
#include <string>

namespace winsys {

// Connects to the X server name, or to $DISPLAY when name is null. Installs
// the process's X error handlers: a protocol error is reported on stderr,
// and losing the connection ends the process with status 1. Null, with a
// one-line reason in error, when the server cannot be reached.
std::unique_ptr<Display> OpenX11Display(const char* name, std::string& error);

} // namespace winsys
