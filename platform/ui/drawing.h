// Drawing of windows whose contents their owner paints (a hosted control):
// the owner draws into a recording device context on its own thread, and the
// recorded operations are kept for its window. Renderers read them (from any
// thread) to paint the window in a dialog and in snapshots; they never call
// into the owner.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ui/ui.h"

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

using COLORREF = std::uint32_t;  // 0x00BBGGRR
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(COLORREF c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(COLORREF c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The stock objects, with the desktop system's numbers.
enum : int {
    WHITE_BRUSH = 0,
    LTGRAY_BRUSH = 1,
    GRAY_BRUSH = 2,
    DKGRAY_BRUSH = 3,
    BLACK_BRUSH = 4,
    NULL_BRUSH = 5,
    WHITE_PEN = 6,
    BLACK_PEN = 7,
    NULL_PEN = 8,
};

struct CBrush {
    bool isNull = false;
    COLORREF color = RGB(255, 255, 255);
};

struct CPen {
    bool isNull = false;
    COLORREF color = RGB(0, 0, 0);
};

namespace ui {

struct DrawOp {
    enum class Kind { FillRect, Ellipse };
    Kind kind = Kind::FillRect;
    RECT rect;
    CBrush brush;  // FillRect: the fill; Ellipse: the interior
    CPen pen;      // Ellipse: the outline
};

// What a window's owner drew, in the coordinates of bounds (which renderers
// map onto the window's place in the dialog).
struct WindowDrawing {
    RECT bounds;
    std::vector<DrawOp> ops;
};

// Keeps the drawing of a window, replacing an earlier one; false for a window
// that does not exist.
bool SetWindowDrawing(HWND hwnd, WindowDrawing drawing);
// Forgets it (the window goes away).
void RemoveWindowDrawing(HWND hwnd);
// A copy of the drawing; false when the window has none.
bool GetWindowDrawing(HWND hwnd, WindowDrawing* drawing);

}  // namespace ui

// Stock brushes and pens by their numbers (a brush number asked as a pen, or
// an unknown number, gives the null object).
CBrush GetStockBrush(int index);
CPen GetStockPen(int index);

// A device context that records. It starts as the desktop system's does:
// black pen, white brush.
class CDC {
public:
    void FillRect(const RECT& rect, const CBrush& brush);
    // Outlined with the current pen, filled with the current brush.
    BOOL Ellipse(const RECT& rect);
    CBrush SelectObject(const CBrush& brush);
    CPen SelectObject(const CPen& pen);
    // Selects a stock brush or pen; returns FALSE for an unknown number.
    BOOL SelectStockObject(int index);

    const std::vector<ui::DrawOp>& Operations() const { return m_ops; }

private:
    CBrush m_brush = GetStockBrush(WHITE_BRUSH);
    CPen m_pen = GetStockPen(BLACK_PEN);
    std::vector<ui::DrawOp> m_ops;
};
