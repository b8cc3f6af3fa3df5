// A small program on our window system, shaped like the saver, for driving
// the X11 screen from tests: one topmost popup over the whole screen titled
// "Blinkorb", with neither cursor nor background, that inverts one ellipse on
// each paint, ticks every 10 ms and closes on a key or a left or right click.
// It prints each message it acts on as one line (the timer only once), for
// the test to follow. The
// command line gives the ellipse's box: left top right bottom.

#include "platform/winsys/winapi.h"

#include <cstdio>

namespace {

RECT g_ellipse{};
bool g_ticked = false;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        SetROP2(dc, R2_NOT);
        Ellipse(dc, g_ellipse.left, g_ellipse.top, g_ellipse.right, g_ellipse.bottom);
        EndPaint(hwnd, &ps);
        std::puts("paint");
        return 0;
    }
    case WM_TIMER:
        if (!g_ticked)
            std::puts("tick");
        g_ticked = true;
        return 0;
    case WM_KEYDOWN:
        std::printf("keydown 0x%02X\n", unsigned(wParam));
        DestroyWindow(hwnd);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        std::printf("%s %d %d\n", message == WM_LBUTTONDOWN ? "lbuttondown" : "rbuttondown", x, y);
        DestroyWindow(hwnd);
        return 0;
    // Not even Alt+F4 closes it: the tests send system keys to see that they
    // are not taken for plain ones.
    case WM_SYSKEYDOWN:
        std::printf("syskeydown 0x%02X\n", unsigned(wParam));
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        std::printf("%s 0x%02X\n", message == WM_KEYUP ? "keyup" : "syskeyup", unsigned(wParam));
        return 0;
    case WM_LBUTTONUP:
        std::printf("lbuttonup %d %d\n", x, y);
        return 0;
    case WM_RBUTTONUP:
        std::printf("rbuttonup %d %d\n", x, y);
        return 0;
    case WM_MBUTTONDOWN:
        std::printf("mbuttondown %d %d\n", x, y);
        return 0;
    case WM_MBUTTONUP:
        std::printf("mbuttonup %d %d\n", x, y);
        return 0;
    case WM_MOUSEWHEEL:
        std::printf("wheel %d\n", int(static_cast<short>(HIWORD(wParam))));
        return 0;
    case WM_MOUSEMOVE:
        std::printf("move %d %d\n", x, y);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    // The test reads each line as it comes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (std::sscanf(commandLine, "%d %d %d %d", &g_ellipse.left, &g_ellipse.top, &g_ellipse.right,
                    &g_ellipse.bottom) != 4) {
        std::fputs("usage: x11_probe left top right bottom\n", stderr);
        return 2;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.lpszClassName = "X11Probe";
    RegisterClassA(&wc);
    const HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, "X11Probe", "Blinkorb", WS_POPUP, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                      nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 2;
    ShowWindow(hwnd, show);
    SetTimer(hwnd, 1, 10, nullptr);
    SetCursor(nullptr);

    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return int(msg.wParam);
}
