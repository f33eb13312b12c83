// The system's own artwork, drawn with plain shapes (no text, so no fonts
// and no application object are needed).
#include <QConicalGradient>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "platform/ui/qt/images.h"
#include "platform/ui/ui.h"

namespace ui::qt {

namespace {

enum : int {
    kBitmapSidePicture = 137,
    kBitmapRule = 140,
    kIconProgram = 128,
    kIconNotice = 217,
    kIconUpdate = 220,
};

QImage NewImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// An open book seen from the front: two pages bent from the spine.
void DrawBook(QPainter& p, const QRectF& r, const QColor& page, const QColor& line) {
    const qreal midX = r.center().x();
    QPainterPath left;
    left.moveTo(midX, r.top() + r.height() * 0.15);
    left.cubicTo(midX - r.width() * 0.2, r.top(), r.left() + r.width() * 0.1, r.top(), r.left(),
                 r.top() + r.height() * 0.1);
    left.lineTo(r.left(), r.bottom() - r.height() * 0.05);
    left.cubicTo(r.left() + r.width() * 0.1, r.bottom() - r.height() * 0.15, midX - r.width() * 0.2,
                 r.bottom() - r.height() * 0.15, midX, r.bottom());
    left.closeSubpath();
    QTransform mirror;
    mirror.translate(2 * midX, 0);
    mirror.scale(-1, 1);
    const QPainterPath right = mirror.map(left);
    p.setPen(QPen(line, qMax<qreal>(1.0, r.width() / 40)));
    p.setBrush(page);
    p.drawPath(left);
    p.drawPath(right);
    // A few text lines on each page.
    p.setPen(QPen(line, qMax<qreal>(1.0, r.width() / 60)));
    for (int i = 1; i <= 3; ++i) {
        const qreal y = r.top() + r.height() * (0.2 + 0.18 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.1, y), QPointF(midX - r.width() * 0.1, y));
        p.drawLine(QPointF(midX + r.width() * 0.1, y), QPointF(r.right() - r.width() * 0.1, y));
    }
}

// A compact disc: a shiny ring with a hole.
void DrawDisc(QPainter& p, const QPointF& c, qreal radius) {
    QConicalGradient sheen(c, 30);
    sheen.setColorAt(0.0, QColor(230, 236, 245));
    sheen.setColorAt(0.15, QColor(170, 210, 250));
    sheen.setColorAt(0.3, QColor(245, 225, 170));
    sheen.setColorAt(0.5, QColor(200, 205, 215));
    sheen.setColorAt(0.65, QColor(190, 240, 210));
    sheen.setColorAt(0.8, QColor(240, 190, 220));
    sheen.setColorAt(1.0, QColor(230, 236, 245));
    p.setPen(QPen(QColor(90, 100, 120), 1.2));
    p.setBrush(sheen);
    p.drawEllipse(c, radius, radius);
    p.setBrush(QColor(235, 238, 242));
    p.drawEllipse(c, radius * 0.32, radius * 0.32);
    p.setBrush(QColor(20, 40, 70));
    p.drawEllipse(c, radius * 0.14, radius * 0.14);
}

QImage DrawSidePicture() {
    const int w = 98;
    const int h = 212;
    QImage image = NewImage(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(18, 46, 96));
    sky.setColorAt(0.6, QColor(28, 104, 142));
    sky.setColorAt(1.0, QColor(36, 150, 140));
    p.fillRect(image.rect(), sky);
    // Soft light streaks across the panel.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        QPainterPath streak;
        const qreal y = 20.0 + i * 46.0;
        streak.moveTo(0, y + 30);
        streak.lineTo(w, y);
        streak.lineTo(w, y + 10);
        streak.lineTo(0, y + 44);
        streak.closeSubpath();
        p.setBrush(QColor(255, 255, 255, 18 + i * 6));
        p.drawPath(streak);
    }
    // Small stars.
    p.setBrush(QColor(255, 255, 255, 200));
    const QPointF stars[] = {{12, 14}, {80, 22}, {60, 8}, {24, 44}, {88, 54}};
    for (const QPointF& s : stars) {
        p.drawEllipse(s, 1.3, 1.3);
    }
    DrawDisc(p, QPointF(w / 2.0, 78), 32);
    DrawBook(p, QRectF(14, 134, 70, 44), QColor(250, 248, 240), QColor(70, 90, 120));
    // A frame so the picture stands off the dialog.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(10, 30, 60), 2));
    p.drawRect(QRectF(1, 1, w - 2, h - 2));
    return image;
}

QImage DrawRule() {
    QImage image = NewImage(300, 2);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 300, 1), QColor(128, 128, 128));
    p.fillRect(QRect(0, 1, 300, 1), QColor(255, 255, 255));
    return image;
}

// A round badge with a soft gradient, the base of the small icons.
void DrawBadge(QPainter& p, const QColor& light, const QColor& dark) {
    QRadialGradient g(QPointF(12, 10), 22);
    g.setColorAt(0.0, light);
    g.setColorAt(1.0, dark);
    p.setPen(QPen(dark.darker(130), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 28, 28));
}

QImage DrawProgramIcon() {
    QImage image = NewImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0.0, QColor(40, 110, 190));
    g.setColorAt(1.0, QColor(20, 60, 120));
    p.setPen(QPen(QColor(15, 40, 80), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);
    DrawBook(p, QRectF(5, 8, 22, 16), QColor(252, 250, 240), QColor(40, 70, 110));
    return image;
}

QImage DrawNoticeIcon() {
    QImage image = NewImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBadge(p, QColor(255, 214, 90), QColor(220, 140, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(14, 7, 4, 12), 2, 2);
    p.drawEllipse(QRectF(13.8, 21, 4.4, 4.4));
    return image;
}

QImage DrawUpdateIcon() {
    QImage image = NewImage(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBadge(p, QColor(120, 220, 120), QColor(30, 130, 50));
    QPainterPath arrow;
    arrow.moveTo(13, 7);
    arrow.lineTo(19, 7);
    arrow.lineTo(19, 15);
    arrow.lineTo(24, 15);
    arrow.lineTo(16, 24);
    arrow.lineTo(8, 15);
    arrow.lineTo(13, 15);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    return image;
}

}  // namespace

void RegisterDefaultImages() {
    struct Artwork {
        int id;
        QImage (*draw)();
    };
    const Artwork artwork[] = {
        {kBitmapSidePicture, DrawSidePicture}, {kBitmapRule, DrawRule},
        {kIconProgram, DrawProgramIcon},       {kIconNotice, DrawNoticeIcon},
        {kIconUpdate, DrawUpdateIcon},
    };
    for (const Artwork& a : artwork) {
        if (::FindImage(a.id) == nullptr) {
            std::vector<unsigned char> png = EncodePng(a.draw());
            if (!png.empty()) {
                ::RegisterImage(a.id, std::move(png));
            }
        }
    }
}

}  // namespace ui::qt
