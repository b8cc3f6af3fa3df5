#pragma once

// The program's application framework: run-time class information, message
// tables, windows, paint contexts and the application object with its
// message loop. Written against the Windows window-system API only, so that
// the same source builds on Windows and over our own window system.

#include "platform/win32.h"

#include <type_traits>

// On Windows these redeclare the ANSI aliases <windows.h> already has.
using CREATESTRUCT = CREATESTRUCTA;
using LPCREATESTRUCT = CREATESTRUCTA*;

// Marks message handlers in class declarations; expands to nothing.
#define afx_msg

// The string resource that holds the application's name.
#define AFX_IDS_APP_TITLE 0xE000

class CCmdTarget;

// Run-time class information

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    const CRuntimeClass* m_pBaseClass; // null for CObject

    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                                                \
public:                                                                                            \
    static const CRuntimeClass class##class_name;                                                  \
    const CRuntimeClass* GetRuntimeClass() const override;

// Constant initialisation: a global object's constructor may ask for its
// class before dynamic initialisation has reached this translation unit.
// clang-format off
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                             \
    constinit const CRuntimeClass class_name::class##class_name{                                   \
        #class_name, RUNTIME_CLASS(base_class_name)};                                              \
    const CRuntimeClass* class_name::GetRuntimeClass() const                                       \
    {                                                                                              \
        return RUNTIME_CLASS(class_name);                                                          \
    }
// clang-format on

class CObject {
public:
    static const CRuntimeClass classCObject;

    // Declared before the destructor: the order of the virtual table is
    // relied on.
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;

protected:
    CObject() = default;
};

// Message tables

// One table entry: the message and the function that cracks its parameters
// and calls the bound member of the target, which is of the table's class.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    LRESULT (*pfnDispatch)(CCmdTarget& target, WPARAM wParam, LPARAM lParam);
};

// A class's entries end with a null pfnDispatch. The base table is reached
// through a function so that every table can be constant-initialised.
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                                                                      \
protected:                                                                                         \
    static const AFX_MSGMAP* GetThisMessageMap();                                                  \
    const AFX_MSGMAP* GetMessageMap() const override;

// ThisClass is unused in a table with no entries.
// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const                                              \
    {                                                                                              \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                                \
    {                                                                                              \
        using ThisClass [[maybe_unused]] = theClass;                                               \
        using TheBaseClass = baseClass;                                                            \
        static constexpr AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                          \
            {0, nullptr}};                                                                         \
        static constexpr AFX_MSGMAP messageMap{&TheBaseClass::GetThisMessageMap, entries};         \
        return &messageMap;                                                                        \
    }
// clang-format on

#define ON_WM_CREATE() {WM_CREATE, &afx::Dispatch<int(LPCREATESTRUCT), &ThisClass::OnCreate>},
#define ON_WM_SETFOCUS() {WM_SETFOCUS, &afx::Dispatch<void(CWnd*), &ThisClass::OnSetFocus>},
#define ON_WM_KEYDOWN() {WM_KEYDOWN, &afx::Dispatch<void(UINT, UINT, UINT), &ThisClass::OnKeyDown>},
#define ON_WM_LBUTTONDOWN()                                                                        \
    {WM_LBUTTONDOWN, &afx::Dispatch<void(UINT, CPoint), &ThisClass::OnLButtonDown>},
#define ON_WM_RBUTTONDOWN()                                                                        \
    {WM_RBUTTONDOWN, &afx::Dispatch<void(UINT, CPoint), &ThisClass::OnRButtonDown>},
#define ON_WM_MOUSEMOVE()                                                                          \
    {WM_MOUSEMOVE, &afx::Dispatch<void(UINT, CPoint), &ThisClass::OnMouseMove>},
#define ON_WM_CLOSE() {WM_CLOSE, &afx::Dispatch<void(), &ThisClass::OnClose>},
#define ON_WM_PAINT() {WM_PAINT, &afx::Dispatch<void(), &ThisClass::OnPaint>},
#define ON_WM_TIMER() {WM_TIMER, &afx::Dispatch<void(UINT_PTR), &ThisClass::OnTimer>},
#define ON_WM_NCDESTROY() {WM_NCDESTROY, &afx::Dispatch<void(), &ThisClass::OnNcDestroy>},
#define ON_MESSAGE_VOID(message, memberFxn)                                                        \
    {message, &afx::Dispatch<void(), &ThisClass::memberFxn>},

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)

public:
    // Routes nothing: the program has no commands.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const;
    static const AFX_MSGMAP* GetThisMessageMap();
};

// Small value types

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int initX, int initY) : POINT{initX, initY} {}
    // Mouse messages carry signed 16-bit coordinates: a point left of or
    // above the window is negative.
    explicit CPoint(LPARAM dwPoint)
        : POINT{static_cast<short>(LOWORD(dwPoint)), static_cast<short>(HIWORD(dwPoint))}
    {
    }
};

// Windows

// The procedure of every window class the framework registers: hands each
// message to the window's object, if it has one.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

// A window class with exactly these attributes and AfxWndProc, registered on
// first use. The name stays valid for the rest of the process; null when the
// class cannot be registered.
LPCSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = nullptr,
                           HBRUSH hbrBackground = nullptr, HICON hIcon = nullptr);

class CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)

public:
    CWnd() = default;
    // A window still open goes with its object.
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    // PreCreateWindow is CWnd's first virtual function, and a derived class's
    // additions follow PostNcDestroy.
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Called once the window is gone and the object unbound. The framework
    // never deletes a window object.
    virtual void PostNcDestroy();

    // Creates the window with this object bound to it before its first
    // message. On failure the object stays unbound.
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    BOOL DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    // There are no temporary objects for foreign windows: both give null for
    // a handle no object is bound to.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);

    BOOL ShowWindow(int nCmdShow);
    void UpdateWindow();
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

protected:
    // Default processing of the message being handled, with its own
    // parameters, even after nested messages have been handled meanwhile.
    LRESULT Default();

    // Handlers a derived class can fall back on: each gives the message its
    // default processing.
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg void OnClose();
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    // Ends the message loop when the main window goes, then unbinds the
    // object and calls PostNcDestroy.
    afx_msg void OnNcDestroy();

    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

    void Attach(HWND hWnd);
    void Detach();

    // The next object bound on this thread: the handle map is a list through
    // the bound objects themselves.
    CWnd* m_pNextBound = nullptr;
};

// Drawing

class CDC {
public:
    // Null when there is nothing to draw on; every drawing call then does
    // nothing and reports failure.
    HDC m_hDC = nullptr;

    int SetROP2(int nDrawMode);
    BOOL Ellipse(int x1, int y1, int x2, int y2);
    // Returns the previous current position.
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
};

// The paint of one WM_PAINT, from BeginPaint to EndPaint.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps;

protected:
    HWND m_hWnd;
};

// The application

class CWinThread : public CCmdTarget {
    DECLARE_DYNAMIC(CWinThread)

public:
    // When this window is destroyed, the message loop ends.
    CWnd* m_pMainWnd = nullptr;

    virtual BOOL InitInstance();
    // The message loop; returns ExitInstance's result.
    virtual int Run();
    // Returns the exit code: the WM_QUIT code, 1 if the loop failed, 0 if it
    // never ran.
    virtual int ExitInstance();

private:
    int m_nExitCode = 0;
};

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)

public:
    // The application is the most recently constructed CWinApp until its
    // destruction, so that tests can run several in turn.
    explicit CWinApp(LPCSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // Without a name from the constructor, AfxWinMain takes the string
    // AFX_IDS_APP_TITLE, or else the executable's file name without
    // directory and extension.
    LPCSTR m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 0;

protected:
    // Nothing to enable: controls look the same either way.
    BOOL Enable3dControlsStatic() { return TRUE; }

private:
    friend int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                          int nCmdShow);

    // Long enough for any Windows file name; a longer given name is cut.
    char m_szAppName[256] = {};
};

CWinApp* AfxGetApp();
// The instance AfxWinMain was given, or the executable's before then.
HINSTANCE AfxGetInstanceHandle();

// The framework's entry routine: runs the application and returns the
// process's exit code (1 when there is no application).
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// Message-table dispatch, used by the ON_ macros

namespace afx {

template <class MemberFunction> struct MemberOf;

template <class Class, class Function> struct MemberOf<Function Class::*> {
    using ClassType = Class;
    using FunctionType = Function;
};

// One Call per handler signature: each signature cracks the parameters its
// way, and every handled message but WM_CREATE returns 0.
template <class Class>
LRESULT Call(Class& target, int (Class::*handler)(LPCREATESTRUCT), WPARAM, LPARAM lParam)
{
    return (target.*handler)(reinterpret_cast<LPCREATESTRUCT>(lParam));
}

template <class Class>
LRESULT Call(Class& target, void (Class::*handler)(CWnd*), WPARAM wParam, LPARAM)
{
    (target.*handler)(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)));
    return 0;
}

template <class Class>
LRESULT Call(Class& target, void (Class::*handler)(UINT, UINT, UINT), WPARAM wParam, LPARAM lParam)
{
    (target.*handler)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
    return 0;
}

template <class Class>
LRESULT Call(Class& target, void (Class::*handler)(UINT, CPoint), WPARAM wParam, LPARAM lParam)
{
    (target.*handler)(static_cast<UINT>(wParam), CPoint(lParam));
    return 0;
}

template <class Class>
LRESULT Call(Class& target, void (Class::*handler)(UINT_PTR), WPARAM wParam, LPARAM)
{
    (target.*handler)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <class Class> LRESULT Call(Class& target, void (Class::*handler)(), WPARAM, LPARAM)
{
    (target.*handler)();
    return 0;
}

// The target is of the handler's class: a table is only ever searched for
// objects of its own class or of classes derived from it.
template <class Signature, auto handler>
LRESULT Dispatch(CCmdTarget& target, WPARAM wParam, LPARAM lParam)
{
    using Member = MemberOf<decltype(handler)>;
    static_assert(std::is_same_v<typename Member::FunctionType, Signature>,
                  "the handler's signature does not suit the message");
    return Call(static_cast<typename Member::ClassType&>(target), handler, wParam, lParam);
}

} // namespace afx
