// Random messages and input, driven through the framework into a window that
// creates, paints, ticks and closes like the saver does. Nothing may crash or
// trip a sanitizer, and the loop must end once the main window is gone.
#include "platform/afx/afx.h"
#include "platform/winsys/memory_display.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

class FuzzWindow final : public CWnd {
public:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        cs.lpszClass = AfxRegisterWndClass(0, nullptr, nullptr, nullptr);
        return TRUE;
    }

protected:
    int OnCreate(LPCREATESTRUCT) { return Default() == -1 ? -1 : 0; }
    void OnSetFocus(CWnd*)
    {
        ::SetCursor(nullptr);
        ::SetTimer(m_hWnd, 0, 10, nullptr);
    }
    void OnCloseOnInput()
    {
        Default();
        ::SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
    void OnClose()
    {
        ::KillTimer(m_hWnd, 0);
        Default();
    }
    void OnPaint()
    {
        CPaintDC dc(this);
        dc.SetROP2(R2_NOT);
        dc.Ellipse(x_ - 20, y_ - 20, x_ + 20, y_ + 20);
        dc.MoveTo(x_ - 20, y_);
        dc.LineTo(x_ + 20, y_ + 7);
    }
    void OnTimer(UINT_PTR)
    {
        x_ = (x_ + 3) % 90 - 10;
        y_ = (y_ + 2) % 70 - 10;
        Default();
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }

    DECLARE_MESSAGE_MAP()

private:
    int x_ = 32;
    int y_ = 24;
};

BEGIN_MESSAGE_MAP(FuzzWindow, CWnd)
ON_WM_CREATE()
ON_WM_SETFOCUS()
ON_MESSAGE_VOID(WM_KEYDOWN, OnCloseOnInput)
ON_MESSAGE_VOID(WM_LBUTTONDOWN, OnCloseOnInput)
ON_WM_CLOSE()
ON_WM_PAINT()
ON_WM_TIMER()
END_MESSAGE_MAP()

// The messages a running program can receive from the system or from
// itself; creation and destruction messages only ever come from the window
// system.
constexpr UINT MESSAGES[] = {WM_NULL,        WM_SETFOCUS,    WM_KILLFOCUS,   WM_PAINT,
                             WM_CLOSE,       WM_ERASEBKGND,  WM_SETCURSOR,   WM_KEYDOWN,
                             WM_KEYUP,       WM_SYSKEYDOWN,  WM_SYSKEYUP,    WM_SYSCOMMAND,
                             WM_TIMER,       WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,
                             WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEWHEEL,  WM_USER + 1};

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t Next32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | Next();
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Op {
    std::uint8_t kind;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Op> g_ops;
std::size_t g_nextOp = 0;
HWND g_main = nullptr;

// Runs the next operation each time the op timer fires, inside the loop.
void CALLBACK RunNextOp(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_nextOp >= g_ops.size()) {
        // Out of operations: whatever state the window is in, it goes now.
        if (IsWindow(g_main))
            ::DestroyWindow(g_main);
        return;
    }
    const Op& op = g_ops[g_nextOp++];
    switch (op.kind % 7) {
    case 0:
        ::PostMessageA(g_main, op.message, op.wParam, op.lParam);
        break;
    case 1:
        ::SendMessageA(g_main, op.message, op.wParam, op.lParam);
        break;
    case 2: {
        const RECT r{LONG(op.wParam % 200) - 50, LONG(op.lParam % 200) - 50, 60, 50};
        ::InvalidateRect(g_main, &r, op.message & 1);
        break;
    }
    case 3:
        ::ShowWindow(g_main, op.message & 1 ? SW_SHOW : SW_HIDE);
        break;
    case 4:
        ::UpdateWindow(g_main);
        break;
    case 5:
        static_cast<winsys::MemoryDisplay*>(winsys::CurrentDisplay())->Advance(op.wParam % 100);
        break;
    default:
        ::SetTimer(g_main, op.wParam % 3, UINT(op.lParam % 50), nullptr);
        break;
    }
}

winsys::InputEvent RandomInput(Bytes& in)
{
    using Kind = winsys::InputEvent::Kind;
    winsys::InputEvent e{Kind(in.Next() % 8)};
    e.virtualKey = in.Next();
    e.alt = in.Next() & 1;
    e.button = winsys::MouseButton(in.Next() % 3);
    e.x = int(in.Next()) - 64;
    e.y = int(in.Next()) - 64;
    e.wheelDelta = (in.Next() & 1) ? 120 : -120;
    return e;
}

class FuzzApp final : public CWinApp {
public:
    BOOL InitInstance() override
    {
        auto* window = new FuzzWindow;
        m_pMainWnd = window;
        const RECT screen{0, 0, 64, 48};
        if (!window->CreateEx(WS_EX_TOPMOST, nullptr, "Fuzz", WS_POPUP, screen, nullptr, 0)) {
            delete window;
            m_pMainWnd = nullptr;
            return FALSE;
        }
        owned_ = window;
        g_main = window->m_hWnd;
        ::SetTimer(nullptr, 0, 10, RunNextOp);
        window->ShowWindow(SW_SHOW);
        window->UpdateWindow();
        return TRUE;
    }
    ~FuzzApp() override { delete owned_; }

private:
    FuzzWindow* owned_ = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes in(data, size);
    winsys::MemoryDisplay& display = winsys::UseMemoryDisplay(64, 48);
    g_ops.clear();
    g_nextOp = 0;
    g_main = nullptr;
    std::int64_t time = 0;
    while (!in.Empty() && g_ops.size() < 64) {
        const std::uint8_t what = in.Next();
        if (what & 0x80) {
            time += what & 0x1F;
            display.At(time, RandomInput(in));
        } else {
            const UINT message = MESSAGES[in.Next() % std::size(MESSAGES)];
            g_ops.push_back({what, message, in.Next32(), LPARAM(std::int32_t(in.Next32()))});
        }
    }
    {
        FuzzApp app;
        AfxWinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOW);
        // The loop only ends through the quit request, or when nothing can
        // ever happen again; with the main window gone, only the former.
        if (IsWindow(g_main))
            std::abort();
    }
    winsys::UseDisplay(nullptr);
    return 0;
}
