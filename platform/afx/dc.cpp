#include "platform/afx/afx.h"

int CDC::SetROP2(int nDrawMode)
{
    return m_hDC != nullptr ? ::SetROP2(m_hDC, nDrawMode) : 0;
}

BOOL CDC::Ellipse(int x1, int y1, int x2, int y2)
{
    return m_hDC != nullptr ? ::Ellipse(m_hDC, x1, y1, x2, y2) : FALSE;
}

CPoint CDC::MoveTo(int x, int y)
{
    CPoint previous;
    if (m_hDC != nullptr)
        ::MoveToEx(m_hDC, x, y, &previous);
    return previous;
}

BOOL CDC::LineTo(int x, int y)
{
    return m_hDC != nullptr ? ::LineTo(m_hDC, x, y) : FALSE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_ps{}, m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
    // Left invalid, the window would be sent WM_PAINT again at once, for ever.
    if (m_hDC == nullptr)
        ::ValidateRect(m_hWnd, nullptr);
}

CPaintDC::~CPaintDC()
{
    if (m_hDC != nullptr)
        ::EndPaint(m_hWnd, &m_ps);
}
