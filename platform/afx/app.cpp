#include "platform/afx/afx.h"

#include <string_view>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstance = nullptr;

std::string DefaultAppName(HINSTANCE hInstance)
{
    char title[256];
    if (const int length = ::LoadStringA(hInstance, AFX_IDS_APP_TITLE, title, sizeof title);
        length > 0)
        return std::string(title, static_cast<std::size_t>(length));

    char path[1024];
    std::string_view name(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
    // Windows paths may use either separator.
    name.remove_prefix(name.find_last_of("\\/") + 1);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

} // namespace

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

BOOL CWinThread::InitInstance()
{
    return TRUE;
}

int CWinThread::Run()
{
    MSG msg{};
    for (;;) {
        const BOOL result = ::GetMessageA(&msg, nullptr, 0, 0);
        if (result == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (result == -1) {
            m_nExitCode = 1;
            break;
        }
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

// No settings are saved: the program has none.
int CWinThread::ExitInstance()
{
    return m_nExitCode;
}

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

CWinApp::CWinApp(LPCSTR lpszAppName)
{
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName.c_str();
    }
    g_pApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_hInstance != nullptr ? g_hInstance : ::GetModuleHandleA(nullptr);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow)
{
    g_hInstance = hInstance;
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return 1;
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nCmdShow;
    if (pApp->m_pszAppName == nullptr) {
        pApp->m_strAppName = DefaultAppName(hInstance);
        pApp->m_pszAppName = pApp->m_strAppName.c_str();
    }
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
