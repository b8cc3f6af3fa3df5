#include "saver/main_frame.h"

std::int32_t s_nMouseMoves = 0;

namespace {

constexpr UINT_PTR TICK_TIMER = 0;
constexpr UINT TICK_PERIOD_MS = 10;
constexpr std::int32_t TOLERATED_MOUSE_MOVES = 3;

int ScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int ScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN);
}

// The figure's drawing surface over a paint context: one GDI call each.
class DCSurface final : public figure::DrawingSurface {
public:
    explicit DCSurface(CDC& dc) : dc_(dc) {}
    void SetInvertMode() override { dc_.SetROP2(R2_NOT); }
    void Ellipse(std::int32_t left, std::int32_t top, std::int32_t right,
                 std::int32_t bottom) override
    {
        dc_.Ellipse(left, top, right, bottom);
    }
    void MoveTo(std::int32_t x, std::int32_t y) override { dc_.MoveTo(x, y); }
    void LineTo(std::int32_t x, std::int32_t y) override { dc_.LineTo(x, y); }

private:
    CDC& dc_;
};

} // namespace

IMPLEMENT_DYNAMIC(CMainFrame, CWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CWnd)
ON_WM_CREATE()
ON_WM_SETFOCUS()
ON_MESSAGE_VOID(WM_KEYDOWN, OnCloseOnInput)
ON_MESSAGE_VOID(WM_LBUTTONDOWN, OnCloseOnInput)
ON_MESSAGE_VOID(WM_RBUTTONDOWN, OnCloseOnInput)
ON_WM_MOUSEMOVE()
ON_WM_CLOSE()
ON_WM_PAINT()
ON_WM_TIMER()
END_MESSAGE_MAP()

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

BOOL CMainFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo)
{
    return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    // No cursor, so it stays hidden once cleared; no background brush, so
    // the picture under the window stays visible.
    cs.lpszClass = AfxRegisterWndClass(0, nullptr, nullptr, nullptr);
    return TRUE;
}

void CMainFrame::DrawFigure(figure::DrawingSurface& surface, std::int32_t left, std::int32_t top,
                            std::int32_t right, std::int32_t bottom, double angle)
{
    figure::DrawFigure(surface, left, top, right, bottom, angle);
}

int CMainFrame::OnCreate(LPCREATESTRUCTA)
{
    return Default() == -1 ? -1 : 0;
}

void CMainFrame::OnSetFocus(CWnd*)
{
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    m_figure.Start(width, height);
    ::SetCursor(nullptr);
    // The same identifier on every focus gain replaces the running timer.
    ::SetTimer(m_hWnd, TICK_TIMER, TICK_PERIOD_MS, nullptr);
}

void CMainFrame::OnCloseOnInput()
{
    Default();
    // Handled, and the window destroyed, before this returns.
    ::SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainFrame::OnMouseMove(UINT, CPoint)
{
    Default();
    s_nMouseMoves += 1;
    if (s_nMouseMoves > TOLERATED_MOUSE_MOVES)
        ::SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainFrame::OnClose()
{
    // No tick may arrive for a window on its way out.
    ::KillTimer(m_hWnd, TICK_TIMER);
    Default();
}

void CMainFrame::OnPaint()
{
    CPaintDC dc(this);
    DCSurface surface(dc);
    figure::PaintFrame(surface, m_figure,
                       [this](figure::DrawingSurface& s, std::int32_t left, std::int32_t top,
                              std::int32_t right, std::int32_t bottom,
                              double angle) { DrawFigure(s, left, top, right, bottom, angle); });
}

void CMainFrame::OnTimer(UINT_PTR)
{
    m_figure.Tick(ScreenWidth, ScreenHeight);
    Default();
    RECT screen{0, 0, ScreenWidth(), ScreenHeight()};
    ::InvalidateRect(m_hWnd, &screen, FALSE);
}
