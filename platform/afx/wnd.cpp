#include "platform/afx/afx.h"

#include <cstdint>
#include <cstring>
#include <utility>

// No standard containers or strings here, nor printf: on Windows any of them
// brings in the C++ library's exception machinery or the runtime's printf,
// each larger than the whole program.

namespace {

// Trivially destructible, so that a thread's state needs no clean-up when
// the thread ends.
struct ThreadState {
    // The object CreateEx is creating a window for, until AfxWndProc binds it
    // at the window's first message (WM_NCCREATE, before CreateWindowExA
    // returns the handle).
    CWnd* pWndInit = nullptr;
    // The most recently bound object; each links to the one bound before it.
    CWnd* pFirstBound = nullptr;
    // The message the innermost AfxWndProc is handling, for CWnd::Default.
    MSG currentMessage{};
};

thread_local ThreadState t_state;

// Makes a message the current one for the length of its dispatch; a message
// sent from within a handler must not leave its own parameters behind for
// the outer handler's Default.
class CurrentMessageScope {
public:
    CurrentMessageScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
        : m_outer(std::exchange(t_state.currentMessage, MSG{hWnd, message, wParam, lParam, 0, {}}))
    {
    }
    ~CurrentMessageScope() { t_state.currentMessage = m_outer; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

private:
    MSG m_outer;
};

// A window a handler creates while its own window is being created must not
// take the outer object's place, nor leave its own behind.
class WindowInitScope {
public:
    explicit WindowInitScope(CWnd* pWnd) : m_pOuter(std::exchange(t_state.pWndInit, pWnd)) {}
    ~WindowInitScope() { t_state.pWndInit = m_pOuter; }
    WindowInitScope(const WindowInitScope&) = delete;
    WindowInitScope& operator=(const WindowInitScope&) = delete;

private:
    CWnd* m_pOuter;
};

const AFX_MSGMAP_ENTRY* FindMessageEntry(const AFX_MSGMAP* pMap, UINT message)
{
    for (; pMap != nullptr; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnDispatch; ++pEntry) {
            if (pEntry->nMessage == message)
                return pEntry;
        }
    }
    return nullptr;
}

// Every class name handed out, each in a node of its own so that it never
// moves; kept for the rest of the process.
struct RegisteredName {
    const RegisteredName* pNext;
    char szName[96]; // "Afx:" and five values of up to 16 hexadecimal digits
};

const RegisteredName* g_pRegisteredNames = nullptr;

char* AppendHex(char* out, std::uintptr_t value)
{
    char digits[2 * sizeof value];
    std::size_t count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % 16];
        value /= 16;
    } while (value != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

} // namespace

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr && t_state.pWndInit != nullptr) {
        pWnd = std::exchange(t_state.pWndInit, nullptr);
        pWnd->Attach(hWnd);
    }
    if (pWnd == nullptr)
        return ::DefWindowProcA(hWnd, nMsg, wParam, lParam);
    const CurrentMessageScope scope(hWnd, nMsg, wParam, lParam);
    return pWnd->WindowProc(nMsg, wParam, lParam);
}

LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    const HINSTANCE hInstance = AfxGetInstanceHandle();
    char name[sizeof RegisteredName::szName] = "Afx";
    char* end = name + 3;
    for (const std::uintptr_t value :
         {reinterpret_cast<std::uintptr_t>(hInstance), std::uintptr_t{nClassStyle},
          reinterpret_cast<std::uintptr_t>(hCursor),
          reinterpret_cast<std::uintptr_t>(hbrBackground),
          reinterpret_cast<std::uintptr_t>(hIcon)}) {
        *end++ = ':';
        end = AppendHex(end, value);
    }
    *end = '\0';

    const RegisteredName* pRegistered = g_pRegisteredNames;
    while (pRegistered != nullptr && std::strcmp(pRegistered->szName, name) != 0)
        pRegistered = pRegistered->pNext;
    if (pRegistered == nullptr) {
        auto* pNew = new RegisteredName{g_pRegisteredNames, {}};
        std::memcpy(pNew->szName, name, sizeof name);
        g_pRegisteredNames = pRegistered = pNew;
    }
    const LPCSTR lpszName = pRegistered->szName;

    // Asked every time: the window system may have started afresh since.
    WNDCLASSA wndClass{};
    if (::GetClassInfoA(hInstance, lpszName, &wndClass))
        return lpszName;
    wndClass.style = nClassStyle;
    wndClass.lpfnWndProc = AfxWndProc;
    wndClass.hInstance = hInstance;
    wndClass.hIcon = hIcon;
    wndClass.hCursor = hCursor;
    wndClass.hbrBackground = hbrBackground;
    wndClass.lpszClassName = lpszName;
    return ::RegisterClassA(&wndClass) ? lpszName : nullptr;
}

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    // DestroyWindow refuses a window already on its way out (this object
    // deleted by one of its own handlers) and one gone with a window system
    // started afresh: either way the map must not keep this object.
    if (m_hWnd != nullptr && !DestroyWindow())
        Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == nullptr)
        cs.lpszClass = AfxRegisterWndClass(0);
    return cs.lpszClass != nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(GetMessageMap(), message))
        return pEntry->pfnDispatch(*this, wParam, lParam);
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

void CWnd::PostNcDestroy()
{
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    CREATESTRUCT cs{};
    cs.lpCreateParams = lpParam;
    cs.hInstance = AfxGetInstanceHandle();
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID));
    cs.hwndParent = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
    cs.cy = rect.bottom - rect.top;
    cs.cx = rect.right - rect.left;
    cs.y = rect.top;
    cs.x = rect.left;
    cs.style = static_cast<LONG>(dwStyle);
    cs.lpszName = lpszWindowName;
    cs.lpszClass = lpszClassName;
    cs.dwExStyle = dwExStyle;
    if (!PreCreateWindow(cs))
        return FALSE;

    // A window whose creation fails after its first message is sent
    // WM_NCDESTROY, which unbinds this object again.
    const WindowInitScope init(this);
    return ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style),
                             cs.x, cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                             cs.lpCreateParams) != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    return ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    return FromHandlePermanent(hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    CWnd* pWnd = t_state.pFirstBound;
    while (pWnd != nullptr && pWnd->m_hWnd != hWnd)
        pWnd = pWnd->m_pNextBound;
    return pWnd;
}

BOOL CWnd::ShowWindow(int nCmdShow)
{
    return ::ShowWindow(m_hWnd, nCmdShow);
}

void CWnd::UpdateWindow()
{
    ::UpdateWindow(m_hWnd);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase)
{
    ::InvalidateRect(m_hWnd, lpRect, bErase);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer)
{
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent)
{
    return ::KillTimer(m_hWnd, nIDEvent);
}

LRESULT CWnd::Default()
{
    const MSG& msg = t_state.currentMessage;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

int CWnd::OnCreate(LPCREATESTRUCT)
{
    return static_cast<int>(Default());
}

void CWnd::OnSetFocus(CWnd*)
{
    Default();
}

void CWnd::OnKeyDown(UINT, UINT, UINT)
{
    Default();
}

void CWnd::OnLButtonDown(UINT, CPoint)
{
    Default();
}

void CWnd::OnRButtonDown(UINT, CPoint)
{
    Default();
}

void CWnd::OnMouseMove(UINT, CPoint)
{
    Default();
}

void CWnd::OnClose()
{
    Default();
}

void CWnd::OnPaint()
{
    Default();
}

void CWnd::OnTimer(UINT_PTR)
{
    Default();
}

void CWnd::OnNcDestroy()
{
    if (CWinApp* pApp = AfxGetApp(); pApp != nullptr && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    Default();
    Detach();
    PostNcDestroy();
}

void CWnd::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    m_pNextBound = std::exchange(t_state.pFirstBound, this);
}

void CWnd::Detach()
{
    for (CWnd** ppLink = &t_state.pFirstBound; *ppLink != nullptr;
         ppLink = &(*ppLink)->m_pNextBound) {
        if (*ppLink == this) {
            *ppLink = m_pNextBound;
            break;
        }
    }
    m_pNextBound = nullptr;
    m_hWnd = nullptr;
}
