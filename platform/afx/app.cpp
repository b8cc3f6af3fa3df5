#include "platform/afx/afx.h"

#include <cstring>
#include <string_view>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hInstance = nullptr;

template <std::size_t size> void CopyName(char (&out)[size], std::string_view name)
{
    const std::size_t length = name.size() < size ? name.size() : size - 1;
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
}

template <std::size_t size> void DefaultAppName(HINSTANCE hInstance, char (&out)[size])
{
    if (::LoadStringA(hInstance, AFX_IDS_APP_TITLE, out, size) > 0)
        return;

    char path[1024];
    std::string_view name(path, ::GetModuleFileNameA(nullptr, path, sizeof path));
    // Windows paths may use either separator.
    name.remove_prefix(name.find_last_of("\\/") + 1);
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_suffix(name.size() - dot);
    CopyName(out, name);
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
        CopyName(m_szAppName, lpszAppName);
        m_pszAppName = m_szAppName;
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
        DefaultAppName(hInstance, pApp->m_szAppName);
        pApp->m_pszAppName = pApp->m_szAppName;
    }
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
