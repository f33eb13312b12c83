// Dialog units as the desktop system defines them: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical unit an
// eighth of its height, so a template keeps its proportions whatever font
// ends up drawing it.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <string>

namespace ui::qt {

// The template's font (GBK name, points). SimSun is rarely installed on
// Linux: the name falls back to an installed Chinese font.
QFont DialogFont(const std::string& gbkName, int pointSize);

class CDialogUnits {
public:
    CDialogUnits(int baseX, int baseY) : m_nBaseX(baseX), m_nBaseY(baseY) {}

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

    int X(int du) const;
    int Y(int du) const;
    // A rectangle maps its edges (not its size), so adjacent controls stay
    // adjacent after rounding.
    QRect Rect(int x, int y, int cx, int cy) const;
    QSize Size(int cx, int cy) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};

// Base units measured from a font: the average width of the 52 Latin
// letters, rounded, and the font's height.
CDialogUnits MeasureDialogUnits(const QFont& font);

}  // namespace ui::qt
