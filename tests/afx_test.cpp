// The application framework over the in-memory display: run-time classes,
// message tables, window creation and destruction, Default, paint contexts,
// window classes and the application's run.
#include "platform/afx/afx.h"
#include "platform/winsys/memory_display.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_ANY_A = WM_USER + 1;
constexpr UINT WM_TEST_ANY_B = WM_USER + 2;
constexpr UINT WM_TEST_NESTED = WM_USER + 3;
constexpr UINT WM_TEST_UNHANDLED = WM_USER + 9;

struct Call {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call)
{
    return out << "0x" << std::hex << call.message << std::dec << "(" << call.wParam << ", "
               << call.lParam << ")";
}

template <class... Parts> std::string Joined(const Parts&... parts)
{
    std::ostringstream out;
    const char* separator = "";
    ((out << separator << parts, separator = " "), ...);
    return out.str();
}

// The base of the test windows: its own table, which the derived one chains
// to, and a record of what reached default processing.
class CLoggingWnd : public CWnd {
    DECLARE_DYNAMIC(CLoggingWnd)

public:
    std::vector<std::string> m_log;
    std::vector<Call> m_defaults;
    int m_nCloseAfterTicks = 0;

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_defaults.push_back({message, wParam, lParam});
        return CWnd::DefWindowProc(message, wParam, lParam);
    }

protected:
    void OnKeyDown(UINT, UINT, UINT) { m_log.push_back("base OnKeyDown"); }
    void OnTimer(UINT_PTR nIDEvent)
    {
        m_log.push_back(Joined("base OnTimer", nIDEvent));
        if (m_nCloseAfterTicks > 0 && --m_nCloseAfterTicks == 0) {
            KillTimer(nIDEvent);
            SendMessage(WM_CLOSE);
        }
    }

    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(CLoggingWnd, CWnd)

BEGIN_MESSAGE_MAP(CLoggingWnd, CWnd)
ON_WM_KEYDOWN()
ON_WM_TIMER()
END_MESSAGE_MAP()

class CTestWnd : public CLoggingWnd {
    DECLARE_DYNAMIC(CTestWnd)

public:
    // What creation looked like from inside.
    std::vector<UINT> m_messages;
    bool m_bBoundAtFirstMessage = false;
    CREATESTRUCT m_createStruct{};
    HWND m_hWndAtCreate = nullptr;

    bool m_bRefuseCreation = false;
    int m_nCreateResult = 0;
    bool m_bSendNestedOnClose = false;

    CWnd* m_pOldFocus = nullptr;
    RECT m_rcPaint{};
    bool m_bPaintHadDC = false;
    CPoint m_ptBeforeMove;

    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        return m_bRefuseCreation ? FALSE : CLoggingWnd::PreCreateWindow(cs);
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (m_messages.empty())
            m_bBoundAtFirstMessage = m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this;
        m_messages.push_back(message);
        return CLoggingWnd::WindowProc(message, wParam, lParam);
    }

    void PostNcDestroy() override
    {
        m_log.push_back(m_hWnd == nullptr ? "PostNcDestroy unbound" : "PostNcDestroy bound");
    }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct)
    {
        m_createStruct = *lpCreateStruct;
        m_hWndAtCreate = m_hWnd;
        return m_nCreateResult;
    }
    void OnSetFocus(CWnd* pOldWnd)
    {
        m_pOldFocus = pOldWnd;
        m_log.push_back("OnSetFocus");
    }
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
    {
        m_log.push_back(Joined("OnKeyDown", nChar, nRepCnt, nFlags));
    }
    void OnLButtonDown(UINT nFlags, CPoint point)
    {
        m_log.push_back(Joined("OnLButtonDown", nFlags, point.x, point.y));
    }
    void OnMouseMove(UINT nFlags, CPoint point)
    {
        m_log.push_back(Joined("OnMouseMove", nFlags, point.x, point.y));
    }
    void OnAnyInput() { m_log.push_back("OnAnyInput"); }
    void OnNested()
    {
        m_log.push_back("OnNested");
        Default();
    }
    void OnClose()
    {
        m_log.push_back("OnClose");
        if (m_bSendNestedOnClose)
            SendMessage(WM_TEST_NESTED, 7, 8);
        Default();
    }
    void OnPaint()
    {
        m_log.push_back("OnPaint");
        CPaintDC dc(this);
        m_bPaintHadDC = dc.m_hDC != nullptr;
        m_rcPaint = dc.m_ps.rcPaint;
        dc.SetROP2(R2_NOT);
        dc.Ellipse(0, 0, 20, 20);
        dc.MoveTo(30, 5);
        m_ptBeforeMove = dc.MoveTo(30, 15);
    }
    void OnNcDestroy()
    {
        m_log.push_back("OnNcDestroy");
        CLoggingWnd::OnNcDestroy();
    }

    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(CTestWnd, CLoggingWnd)

// WM_RBUTTONDOWN is listed twice: the first entry wins.
BEGIN_MESSAGE_MAP(CTestWnd, CLoggingWnd)
ON_WM_CREATE()
ON_WM_SETFOCUS()
ON_WM_KEYDOWN()
ON_WM_LBUTTONDOWN()
ON_MESSAGE_VOID(WM_RBUTTONDOWN, OnAnyInput)
ON_WM_RBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_MESSAGE_VOID(WM_TEST_ANY_A, OnAnyInput)
ON_MESSAGE_VOID(WM_TEST_ANY_B, OnAnyInput)
ON_MESSAGE_VOID(WM_TEST_NESTED, OnNested)
ON_WM_CLOSE()
ON_WM_PAINT()
ON_WM_NCDESTROY()
END_MESSAGE_MAP()

class CMainFrame : public CWnd {
    DECLARE_DYNAMIC(CMainFrame)
};

IMPLEMENT_DYNAMIC(CMainFrame, CWnd)

// Deletes itself while its window is being destroyed, between WM_DESTROY
// and WM_NCDESTROY, and notes what the handle map then holds for the window.
class CSelfDeletingWnd : public CWnd {
public:
    explicit CSelfDeletingWnd(CWnd*& pBoundAfterDelete) : m_pBoundAfterDelete(pBoundAfterDelete) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DESTROY) {
            const HWND hWnd = m_hWnd;
            CWnd*& pBoundAfterDelete = m_pBoundAfterDelete;
            delete this;
            pBoundAfterDelete = FromHandlePermanent(hWnd);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    CWnd*& m_pBoundAfterDelete;
};

class CTestApp : public CWinApp {
public:
    explicit CTestApp(LPCSTR lpszAppName = nullptr) : CWinApp(lpszAppName) {}

    std::function<BOOL(CTestApp&)> m_initInstance = [](CTestApp&) { return TRUE; };
    int m_nExitInstanceCalls = 0;

    BOOL InitInstance() override { return m_initInstance(*this); }
    int ExitInstance() override
    {
        ++m_nExitInstanceCalls;
        return CWinApp::ExitInstance();
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestApp, CWinApp)
END_MESSAGE_MAP()

const RECT WINDOW_RECT{10, 20, 110, 70};

BOOL Create(CWnd& wnd, LPCSTR title = "test")
{
    return wnd.CreateEx(0, nullptr, title, WS_POPUP, WINDOW_RECT, nullptr, 0);
}

int RunApp()
{
    return AfxWinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW);
}

class AfxTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_display = &winsys::UseMemoryDisplay(200, 100);
        winsys::RegisterStringResource(AFX_IDS_APP_TITLE, "");
    }
    void TearDown() override { winsys::RegisterStringResource(AFX_IDS_APP_TITLE, ""); }

    winsys::MemoryDisplay* m_display = nullptr;
};

TEST(AfxRuntimeClass, NamesTheClassAndKnowsItsBases)
{
    const CMainFrame frame;
    const CTestWnd wnd;
    const CWinApp app;

    struct NameCase {
        const CObject* object;
        const char* name;
    };
    for (const NameCase c :
         {NameCase{&frame, "CMainFrame"}, NameCase{&wnd, "CTestWnd"}, NameCase{&app, "CWinApp"}})
        EXPECT_STREQ(c.object->GetRuntimeClass()->m_lpszClassName, c.name);
    EXPECT_EQ(RUNTIME_CLASS(CMainFrame)->m_pBaseClass, RUNTIME_CLASS(CWnd));
    EXPECT_EQ(RUNTIME_CLASS(CObject)->m_pBaseClass, nullptr);

    struct KindCase {
        const CObject* object;
        const CRuntimeClass* kind;
        BOOL expected;
    };
    for (const KindCase c : {
             KindCase{&wnd, RUNTIME_CLASS(CTestWnd), TRUE},
             KindCase{&wnd, RUNTIME_CLASS(CLoggingWnd), TRUE},
             KindCase{&wnd, RUNTIME_CLASS(CWnd), TRUE},
             KindCase{&wnd, RUNTIME_CLASS(CCmdTarget), TRUE},
             KindCase{&wnd, RUNTIME_CLASS(CObject), TRUE},
             KindCase{&wnd, RUNTIME_CLASS(CMainFrame), FALSE},
             KindCase{&wnd, RUNTIME_CLASS(CWinApp), FALSE},
             KindCase{&frame, RUNTIME_CLASS(CLoggingWnd), FALSE},
             KindCase{&app, RUNTIME_CLASS(CWinThread), TRUE},
             KindCase{&app, RUNTIME_CLASS(CWnd), FALSE},
         })
        EXPECT_EQ(c.object->IsKindOf(c.kind), c.expected)
            << c.object->GetRuntimeClass()->m_lpszClassName << " of " << c.kind->m_lpszClassName;
}

TEST_F(AfxTest, MessagesGoToTheFirstEntryInTableOrderThenToTheBaseTableThenToDefault)
{
    CTestWnd wnd;
    ASSERT_TRUE(Create(wnd));

    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"derived entry over the base's",
         WM_KEYDOWN,
         'A',
         MAKELPARAM(3, 0x1E),
         {"OnKeyDown 65 3 30"}},
        {"base table", WM_TIMER, 7, 0, {"base OnTimer 7"}},
        {"first of two entries", WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 2), {"OnAnyInput"}},
        {"one member, first message", WM_TEST_ANY_A, 0, 0, {"OnAnyInput"}},
        {"one member, second message", WM_TEST_ANY_B, 0, 0, {"OnAnyInput"}},
        {"signed coordinates",
         WM_MOUSEMOVE,
         MK_LBUTTON,
         MAKELPARAM(-5, 300),
         {"OnMouseMove 1 -5 300"}},
        {"flags and point",
         WM_LBUTTONDOWN,
         MK_SHIFT | MK_LBUTTON,
         MAKELPARAM(40, -1),
         {"OnLButtonDown 5 40 -1"}},
    };
    for (const Case& c : cases) {
        wnd.m_log.clear();
        wnd.m_defaults.clear();
        EXPECT_EQ(wnd.SendMessage(c.message, c.wParam, c.lParam), 0) << c.what;
        EXPECT_EQ(wnd.m_log, c.log) << c.what;
        EXPECT_TRUE(wnd.m_defaults.empty()) << c.what;
    }

    wnd.m_log.clear();
    wnd.m_defaults.clear();
    wnd.SendMessage(WM_TEST_UNHANDLED, 5, 6);
    EXPECT_TRUE(wnd.m_log.empty());
    EXPECT_EQ(wnd.m_defaults, (std::vector<Call>{{WM_TEST_UNHANDLED, 5, 6}}));
}

TEST_F(AfxTest, CreateExBindsTheObjectBeforeTheFirstMessageAndPassesItsArguments)
{
    CTestWnd wnd;
    int param = 0;
    ASSERT_TRUE(
        wnd.CreateEx(WS_EX_TOPMOST, nullptr, "title", WS_POPUP, WINDOW_RECT, nullptr, 0, &param));

    ASSERT_NE(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_EQ(CWnd::FromHandle(wnd.m_hWnd), &wnd);
    EXPECT_EQ(wnd.GetSafeHwnd(), wnd.m_hWnd);
    ASSERT_GE(wnd.m_messages.size(), 2u);
    EXPECT_EQ(wnd.m_messages[0], WM_NCCREATE);
    EXPECT_EQ(wnd.m_messages[1], WM_CREATE);
    EXPECT_TRUE(wnd.m_bBoundAtFirstMessage);
    EXPECT_EQ(wnd.m_hWndAtCreate, wnd.m_hWnd);

    const CREATESTRUCT& cs = wnd.m_createStruct;
    EXPECT_EQ(cs.x, 10);
    EXPECT_EQ(cs.y, 20);
    EXPECT_EQ(cs.cx, 100);
    EXPECT_EQ(cs.cy, 50);
    EXPECT_EQ(cs.lpCreateParams, &param);
    EXPECT_EQ(cs.hMenu, nullptr);
    EXPECT_EQ(static_cast<DWORD>(cs.style), static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(cs.dwExStyle, static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_STREQ(cs.lpszName, "title");
    // No class given: the base's PreCreateWindow picks the framework's default.
    EXPECT_STREQ(cs.lpszClass, AfxRegisterWndClass(0));
    EXPECT_EQ(FindWindowA(AfxRegisterWndClass(0), "title"), wnd.m_hWnd);

    // The menu slot carries the identifier.
    CTestWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, "child", WS_POPUP, WINDOW_RECT, nullptr, 42));
    EXPECT_EQ(child.m_createStruct.hMenu, reinterpret_cast<HMENU>(UINT_PTR{42}));
}

TEST_F(AfxTest, CreateReturnsWhatTheCreateHandlerReturns)
{
    CTestWnd refused;
    refused.m_nCreateResult = -1;
    EXPECT_FALSE(Create(refused));
    EXPECT_EQ(refused.m_hWnd, nullptr);
    ASSERT_NE(refused.m_hWndAtCreate, nullptr);
    EXPECT_FALSE(IsWindow(refused.m_hWndAtCreate));
    EXPECT_EQ(CWnd::FromHandlePermanent(refused.m_hWndAtCreate), nullptr);
    EXPECT_EQ(refused.m_log, (std::vector<std::string>{"OnNcDestroy", "PostNcDestroy unbound"}));

    CTestWnd wnd;
    ASSERT_TRUE(Create(wnd));
    CREATESTRUCT cs{};
    wnd.m_nCreateResult = 5;
    EXPECT_EQ(wnd.SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)), 5);
}

TEST_F(AfxTest, RefusedPreCreateWindowCreatesNothing)
{
    CTestWnd wnd;
    wnd.m_bRefuseCreation = true;
    EXPECT_FALSE(Create(wnd));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_TRUE(wnd.m_messages.empty());
    EXPECT_EQ(FindWindowA(nullptr, "test"), nullptr);
}

TEST_F(AfxTest, WindowTheScreenRefusesLeavesTheObjectUnboundAndNothingPending)
{
    m_display->RefuseWindows();
    CTestWnd wnd;
    EXPECT_FALSE(Create(wnd));
    EXPECT_EQ(wnd.m_hWnd, nullptr);

    // The next window, made without an object, must not be taken for it.
    winsys::UseMemoryDisplay(200, 100);
    const HWND hWnd = CreateWindowExA(0, AfxRegisterWndClass(0), "bare", WS_POPUP, 0, 0, 10, 10,
                                      nullptr, nullptr, AfxGetInstanceHandle(), nullptr);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
    EXPECT_TRUE(wnd.m_messages.empty());
}

TEST_F(AfxTest, WindowWithoutAnObjectGetsDefaultProcessing)
{
    const HWND hWnd = CreateWindowExA(0, AfxRegisterWndClass(0), "bare", WS_POPUP, 0, 0, 10, 10,
                                      nullptr, nullptr, AfxGetInstanceHandle(), nullptr);
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(hWnd), nullptr);
    SendMessageA(hWnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hWnd));
}

TEST_F(AfxTest, SetFocusHandlerIsGivenTheObjectThatLostTheFocus)
{
    CTestWnd first;
    CTestWnd second;
    ASSERT_TRUE(Create(first, "first"));
    ASSERT_TRUE(Create(second, "second"));
    const HWND bare = CreateWindowExA(0, AfxRegisterWndClass(0), "bare", WS_POPUP, 0, 0, 10, 10,
                                      nullptr, nullptr, AfxGetInstanceHandle(), nullptr);

    first.ShowWindow(SW_SHOW);
    second.ShowWindow(SW_SHOW);
    EXPECT_EQ(second.m_pOldFocus, &first);

    ShowWindow(bare, SW_SHOW);
    first.m_log.clear();
    first.ShowWindow(SW_SHOW);
    EXPECT_EQ(first.m_log, std::vector<std::string>{"OnSetFocus"});
    EXPECT_EQ(first.m_pOldFocus, nullptr);
}

TEST_F(AfxTest, DefaultInsideANestedSendUsesTheOuterMessageAfterItReturns)
{
    CTestWnd wnd;
    ASSERT_TRUE(Create(wnd));
    wnd.m_bSendNestedOnClose = true;
    wnd.m_defaults.clear();
    const HWND hWnd = wnd.m_hWnd;

    wnd.SendMessage(WM_CLOSE, 11, 22);

    ASSERT_GE(wnd.m_defaults.size(), 2u);
    EXPECT_EQ(wnd.m_defaults[0], (Call{WM_TEST_NESTED, 7, 8}));
    EXPECT_EQ(wnd.m_defaults[1], (Call{WM_CLOSE, 11, 22}));
    // The outer message's default processing was the close's.
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

TEST_F(AfxTest, DestroyingTheWindowUnbindsTheObjectBeforePostNcDestroy)
{
    CTestWnd wnd;
    ASSERT_TRUE(Create(wnd));
    const HWND hWnd = wnd.m_hWnd;
    wnd.m_log.clear();

    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_log, (std::vector<std::string>{"OnNcDestroy", "PostNcDestroy unbound"}));
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_FALSE(IsWindow(hWnd));
}

TEST_F(AfxTest, WindowGoesWithItsObject)
{
    HWND hWnd = nullptr;
    {
        CTestWnd wnd;
        ASSERT_TRUE(Create(wnd));
        hWnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST_F(AfxTest, ObjectDeletedWhileItsWindowIsDestroyedLeavesNoBindingBehind)
{
    CWnd* pBoundAfterDelete = nullptr;
    auto* wnd = new CSelfDeletingWnd(pBoundAfterDelete);
    ASSERT_TRUE(Create(*wnd));
    const HWND hWnd = wnd->m_hWnd;
    pBoundAfterDelete = wnd;

    EXPECT_TRUE(DestroyWindow(hWnd));

    EXPECT_EQ(pBoundAfterDelete, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
    EXPECT_FALSE(IsWindow(hWnd));
}

TEST_F(AfxTest, PaintDCDrawsWithinOnePaintAndLeavesTheWindowValid)
{
    CTestWnd wnd;
    ASSERT_TRUE(Create(wnd));
    wnd.ShowWindow(SW_SHOW);
    wnd.m_log.clear();

    wnd.UpdateWindow();

    EXPECT_EQ(wnd.m_log, std::vector<std::string>{"OnPaint"});
    EXPECT_TRUE(wnd.m_bPaintHadDC);
    EXPECT_EQ(wnd.m_rcPaint.left, 0);
    EXPECT_EQ(wnd.m_rcPaint.top, 0);
    EXPECT_EQ(wnd.m_rcPaint.right, 100);
    EXPECT_EQ(wnd.m_rcPaint.bottom, 50);
    EXPECT_EQ(wnd.m_ptBeforeMove.x, 30);
    EXPECT_EQ(wnd.m_ptBeforeMove.y, 5);
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(wnd.m_hWnd, &update, FALSE));

    // The disc's middle, at (10, 10) in the window, is inverted; the screen
    // beyond the window is not.
    const raster::Picture& screen = m_display->Screen();
    const raster::Picture& desktop = m_display->Desktop();
    EXPECT_NE(screen.At(20, 30), desktop.At(20, 30));
    EXPECT_EQ(screen.At(150, 90), desktop.At(150, 90));

    // Nothing more to paint.
    wnd.m_log.clear();
    wnd.UpdateWindow();
    EXPECT_TRUE(wnd.m_log.empty());
}

TEST_F(AfxTest, PaintDCWithoutADeviceContextDrawsNothing)
{
    CTestWnd unbound;
    CPaintDC dc(&unbound);
    EXPECT_EQ(dc.m_hDC, nullptr);
    EXPECT_EQ(dc.SetROP2(R2_NOT), 0);
    EXPECT_FALSE(dc.Ellipse(0, 0, 20, 20));
    const CPoint before = dc.MoveTo(5, 5);
    EXPECT_EQ(before.x, 0);
    EXPECT_EQ(before.y, 0);
    EXPECT_FALSE(dc.LineTo(50, 50));
    EXPECT_TRUE(m_display->Screen() == m_display->Desktop());
}

TEST_F(AfxTest, RegisterWndClassNamesEachAttributeSetOnce)
{
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const auto brush = reinterpret_cast<HBRUSH>(UINT_PTR{0x51});
    const auto icon = reinterpret_cast<HICON>(UINT_PTR{0x61});
    struct Attributes {
        UINT style;
        HCURSOR cursor;
        HBRUSH background;
        HICON icon;
    };
    const Attributes cases[] = {
        {0, nullptr, nullptr, nullptr}, {CS_DBLCLKS, nullptr, nullptr, nullptr},
        {0, arrow, nullptr, nullptr},   {0, nullptr, brush, nullptr},
        {0, nullptr, nullptr, icon},    {CS_DBLCLKS, arrow, brush, icon},
    };

    std::set<std::string> names;
    for (const Attributes& c : cases) {
        const LPCSTR name = AfxRegisterWndClass(c.style, c.cursor, c.background, c.icon);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(AfxRegisterWndClass(c.style, c.cursor, c.background, c.icon), name);
        names.insert(name);

        WNDCLASSA wndClass{};
        ASSERT_TRUE(GetClassInfoA(AfxGetInstanceHandle(), name, &wndClass)) << name;
        EXPECT_EQ(wndClass.style, c.style) << name;
        EXPECT_EQ(wndClass.hCursor, c.cursor) << name;
        EXPECT_EQ(wndClass.hbrBackground, c.background) << name;
        EXPECT_EQ(wndClass.hIcon, c.icon) << name;
        EXPECT_EQ(wndClass.lpfnWndProc, &AfxWndProc) << name;
    }
    EXPECT_EQ(names.size(), std::size(cases));
}

TEST_F(AfxTest, RegisterWndClassRegistersAgainInAFreshWindowSystem)
{
    const LPCSTR name = AfxRegisterWndClass(0);
    winsys::UseMemoryDisplay(200, 100);
    WNDCLASSA wndClass{};
    ASSERT_FALSE(GetClassInfoA(AfxGetInstanceHandle(), name, &wndClass));

    EXPECT_EQ(AfxRegisterWndClass(0), name);
    EXPECT_TRUE(GetClassInfoA(AfxGetInstanceHandle(), name, &wndClass));
}

TEST_F(AfxTest, TheMostRecentlyConstructedAppIsTheAppUntilItGoes)
{
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(RunApp(), 1);
    {
        CTestApp first;
        EXPECT_EQ(AfxGetApp(), &first);
        CTestApp second;
        EXPECT_EQ(AfxGetApp(), &second);
    }
    EXPECT_EQ(AfxGetApp(), nullptr);
}

TEST_F(AfxTest, ClosingTheMainWindowEndsTheLoopWithZero)
{
    CTestWnd frame;
    CTestApp app;
    app.m_initInstance = [&frame](CTestApp& self) {
        if (!Create(frame))
            return FALSE;
        self.m_pMainWnd = &frame;
        frame.ShowWindow(SW_SHOW);
        frame.UpdateWindow();
        frame.PostMessage(WM_CLOSE);
        return TRUE;
    };
    char commandLine[] = "/s";

    EXPECT_EQ(AfxWinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW), 0);

    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(frame.m_hWnd, nullptr);
    EXPECT_EQ(app.m_nExitInstanceCalls, 1);
    EXPECT_EQ(app.m_hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(app.m_lpCmdLine, commandLine);
    EXPECT_EQ(app.m_nCmdShow, SW_SHOW);
}

TEST_F(AfxTest, OtherWindowsCanCloseWhileTheLoopRunsOn)
{
    CTestWnd frame;
    CTestWnd other;
    CTestApp app;
    // A quit request would be taken before the tick, which only comes once
    // the queue is empty.
    app.m_initInstance = [&](CTestApp& self) {
        if (!Create(frame, "frame") || !Create(other, "other"))
            return FALSE;
        self.m_pMainWnd = &frame;
        frame.m_nCloseAfterTicks = 1;
        frame.SetTimer(1, 10);
        other.PostMessage(WM_CLOSE);
        return TRUE;
    };

    EXPECT_EQ(RunApp(), 0);

    EXPECT_EQ(other.m_hWnd, nullptr);
    EXPECT_EQ(other.m_log,
              (std::vector<std::string>{"OnClose", "OnNcDestroy", "PostNcDestroy unbound"}));
    EXPECT_EQ(frame.m_log, (std::vector<std::string>{"base OnTimer 1", "OnClose", "OnNcDestroy",
                                                     "PostNcDestroy unbound"}));
}

TEST_F(AfxTest, LoopDispatchesTimerTicksUntilTheMainWindowCloses)
{
    CTestWnd frame;
    CTestApp app;
    app.m_initInstance = [&frame](CTestApp& self) {
        if (!Create(frame))
            return FALSE;
        self.m_pMainWnd = &frame;
        frame.m_nCloseAfterTicks = 3;
        frame.SetTimer(4, 10);
        return TRUE;
    };

    EXPECT_EQ(RunApp(), 0);

    EXPECT_EQ(frame.m_log,
              (std::vector<std::string>{"base OnTimer 4", "base OnTimer 4", "base OnTimer 4",
                                        "OnClose", "OnNcDestroy", "PostNcDestroy unbound"}));
    EXPECT_EQ(m_display->Now(), 30);
}

TEST_F(AfxTest, ExitCodeComesFromTheQuitMessageOrTheLoopsEnd)
{
    struct Case {
        const char* what;
        std::function<BOOL()> initInstance;
        int exitCode;
    };
    const Case cases[] = {
        {"quit code",
         [] {
             PostQuitMessage(3);
             return TRUE;
         },
         3},
        {"nothing can ever arrive", [] { return TRUE; }, 1},
        // Had the loop run, it would have ended with the quit code.
        {"InitInstance failed",
         [] {
             PostQuitMessage(5);
             return FALSE;
         },
         0},
    };
    for (const Case& c : cases) {
        winsys::UseMemoryDisplay(200, 100);
        CTestApp app;
        app.m_initInstance = [&c](CTestApp&) { return c.initInstance(); };
        EXPECT_EQ(RunApp(), c.exitCode) << c.what;
        EXPECT_EQ(app.m_nExitInstanceCalls, 1) << c.what;
    }
}

TEST_F(AfxTest, AppNameComesFromTheConstructorTheTitleStringOrTheExecutable)
{
    struct Case {
        LPCSTR constructedWith;
        const char* titleString;
        const char* name;
    };
    for (const Case c : {Case{"Given", "Titled", "Given"}, Case{nullptr, "Titled", "Titled"},
                         Case{nullptr, "", "afx_tests"}}) {
        winsys::RegisterStringResource(AFX_IDS_APP_TITLE, c.titleString);
        CTestApp app(c.constructedWith);
        app.m_initInstance = [](CTestApp&) { return FALSE; };
        RunApp();
        EXPECT_STREQ(app.m_pszAppName, c.name);
    }
}

} // namespace
