#pragma once

#include "figure/figure.h"
#include "platform/afx/afx.h"

#include <cstdint>

// Mouse-move events seen by the saver window since the program started; never
// reset, so focus changes do not give the user three more moves.
extern std::int32_t s_nMouseMoves;

// The full-screen saver window: owns the figure, ticks it with a 10 ms timer,
// draws a frame on every paint and closes on a key, a left or right click or
// the fourth mouse move.
class CMainFrame : public CWnd {
    DECLARE_DYNAMIC(CMainFrame)

public:
    CMainFrame();
    ~CMainFrame() override;

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) override;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

    // One figure: the disc in the rectangle and its two arms at angle.
    virtual void DrawFigure(figure::DrawingSurface& surface, std::int32_t left, std::int32_t top,
                            std::int32_t right, std::int32_t bottom, double angle);

    const figure::FigureState& Figure() const { return m_figure; }

protected:
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);
    void OnSetFocus(CWnd* pOldWnd);
    void OnCloseOnInput();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnClose();
    void OnPaint();
    void OnTimer(UINT_PTR nIDEvent);

    DECLARE_MESSAGE_MAP()

private:
    // Previous and current centre, step, previous and current angle.
    figure::FigureState m_figure;
};
