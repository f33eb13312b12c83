#include "platform/ui/drawing.h"

#include <map>
#include <mutex>

namespace {

struct Drawings {
    std::mutex mutex;
    std::map<HWND, ui::WindowDrawing> byWindow;
};

Drawings& Table() {
    static auto* table = new Drawings;  // renderers may read while the process ends
    return *table;
}

}  // namespace

namespace ui {

bool SetWindowDrawing(HWND hwnd, WindowDrawing drawing) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> lock(Table().mutex);
    Table().byWindow[hwnd] = std::move(drawing);
    return true;
}

void RemoveWindowDrawing(HWND hwnd) {
    std::lock_guard<std::mutex> lock(Table().mutex);
    Table().byWindow.erase(hwnd);
}

bool GetWindowDrawing(HWND hwnd, WindowDrawing* drawing) {
    std::lock_guard<std::mutex> lock(Table().mutex);
    auto it = Table().byWindow.find(hwnd);
    if (it == Table().byWindow.end() || !drawing) {
        return false;
    }
    *drawing = it->second;
    return true;
}

}  // namespace ui

CBrush GetStockBrush(int index) {
    switch (index) {
        case WHITE_BRUSH:
            return CBrush{false, RGB(255, 255, 255)};
        case LTGRAY_BRUSH:
            return CBrush{false, RGB(192, 192, 192)};
        case GRAY_BRUSH:
            return CBrush{false, RGB(128, 128, 128)};
        case DKGRAY_BRUSH:
            return CBrush{false, RGB(64, 64, 64)};
        case BLACK_BRUSH:
            return CBrush{false, RGB(0, 0, 0)};
        default:
            return CBrush{true, 0};
    }
}

CPen GetStockPen(int index) {
    switch (index) {
        case WHITE_PEN:
            return CPen{false, RGB(255, 255, 255)};
        case BLACK_PEN:
            return CPen{false, RGB(0, 0, 0)};
        default:
            return CPen{true, 0};
    }
}

void CDC::FillRect(const RECT& rect, const CBrush& brush) {
    ui::DrawOp op;
    op.kind = ui::DrawOp::Kind::FillRect;
    op.rect = rect;
    op.brush = brush;
    op.pen = CPen{true, 0};
    m_ops.push_back(op);
}

BOOL CDC::Ellipse(const RECT& rect) {
    ui::DrawOp op;
    op.kind = ui::DrawOp::Kind::Ellipse;
    op.rect = rect;
    op.brush = m_brush;
    op.pen = m_pen;
    m_ops.push_back(op);
    return TRUE;
}

CBrush CDC::SelectObject(const CBrush& brush) {
    CBrush previous = m_brush;
    m_brush = brush;
    return previous;
}

CPen CDC::SelectObject(const CPen& pen) {
    CPen previous = m_pen;
    m_pen = pen;
    return previous;
}

BOOL CDC::SelectStockObject(int index) {
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH) {
        m_brush = GetStockBrush(index);
        return TRUE;
    }
    if (index >= WHITE_PEN && index <= NULL_PEN) {
        m_pen = GetStockPen(index);
        return TRUE;
    }
    return FALSE;
}
