#include "platform/ui/qt/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include "platform/ui/qt/qt_text.h"

namespace ui::qt {

namespace {

// Installed fonts that carry the Chinese glyphs, in order of preference.
const char* const kChineseFallbacks[] = {
    "SimSun",
    "NSimSun",
    "WenQuanYi Micro Hei",
    "Noto Sans CJK SC",
    "Noto Serif CJK SC",
    "Source Han Sans SC",
    "AR PL UMing CN",
    "Droid Sans Fallback",
};

// a * b / c rounded half away from zero, as the desktop system's MulDiv.
int MulDiv(int a, int b, int c) {
    long long p = static_cast<long long>(a) * b;
    long long r = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(r);
}

}  // namespace

QFont DialogFont(const std::string& gbkName, int pointSize) {
    const QStringList installed = QFontDatabase::families();
    QStringList families;
    auto add = [&](const QString& name) {
        if (!name.isEmpty() && installed.contains(name, Qt::CaseInsensitive) &&
            !families.contains(name, Qt::CaseInsensitive)) {
            families << name;
        }
    };
    add(FromGbk(gbkName));
    for (const char* name : kChineseFallbacks) {
        add(QString::fromLatin1(name));
    }
    QFont font;
    if (!families.isEmpty()) {
        font.setFamilies(families);
    }
    font.setPointSize(pointSize > 0 ? pointSize : 9);
    return font;
}

int CDialogUnits::X(int du) const {
    return MulDiv(du, m_nBaseX, 4);
}

int CDialogUnits::Y(int du) const {
    return MulDiv(du, m_nBaseY, 8);
}

QRect CDialogUnits::Rect(int x, int y, int cx, int cy) const {
    const int left = X(x);
    const int top = Y(y);
    return QRect(left, top, X(x + cx) - left, Y(y + cy) - top);
}

QSize CDialogUnits::Size(int cx, int cy) const {
    return QSize(X(cx), Y(cy));
}

CDialogUnits MeasureDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Rounded average over 52 letters, written the way the desktop system
    // computes it.
    const int baseX = (width / 26 + 1) / 2;
    const int baseY = metrics.height();
    return CDialogUnits(baseX > 0 ? baseX : 1, baseY > 0 ? baseY : 1);
}

}  // namespace ui::qt
