// The program's entry on Linux: the X screen behind our window system, then
// the framework's entry routine, as Windows would start it.

#include "platform/afx/afx.h"
#include "platform/winsys/x11_display.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    std::string error;
    std::unique_ptr<winsys::Display> display = winsys::OpenX11Display(nullptr, error);
    if (!display) {
        std::fprintf(stderr, "blinkorb: %s\n", error.c_str());
        return 1;
    }
    winsys::UseDisplay(std::move(display));
    // Windows hands over the arguments after the program's name as one line.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    const int code = AfxWinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOW);
    // Windows, grabs and connection go now rather than among the static
    // destructors; on a connection already lost this ends with status 1.
    winsys::UseDisplay(nullptr);
    return code;
}
