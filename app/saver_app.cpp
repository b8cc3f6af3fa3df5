#include "app/saver_app.h"

#include "saver/main_frame.h"

namespace {

// The saver window's title, and what a later copy looks for.
constexpr char SAVER_TITLE[] = "Blinkorb";

// The status when the saver window cannot be made: without it the program
// would live on with no way to end.
constexpr int NO_WINDOW_STATUS = 1;

} // namespace

BEGIN_MESSAGE_MAP(CSaverApp, CWinApp)
END_MESSAGE_MAP()

CSaverApp theApp;

CSaverApp::CSaverApp() = default;

CSaverApp::~CSaverApp() = default;

BOOL CSaverApp::InitInstance()
{
    Enable3dControlsStatic();

    if (::FindWindowA(nullptr, SAVER_TITLE) != nullptr)
        return FALSE;

    // Lives until the process ends; never deleted.
    m_pMainWnd = new CMainFrame;

    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const RECT screen{0, 0, width, height};
    if (!m_pMainWnd->CreateEx(WS_EX_TOPMOST, nullptr, SAVER_TITLE, WS_POPUP, screen, nullptr, 0,
                              nullptr)) {
        // Let the loop end at once with a failure status.
        ::PostQuitMessage(NO_WINDOW_STATUS);
        return TRUE;
    }
    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    return TRUE;
}
