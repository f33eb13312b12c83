#include "platform/ui/qt/images.h"

#include <QBuffer>
#include <QByteArray>

#include "platform/ui/ui.h"

namespace ui::qt {

QPixmap TemplateImage(int id) {
    QPixmap pixmap;
    const std::vector<unsigned char>* bytes = ::FindImage(id);
    if (bytes != nullptr && !bytes->empty()) {
        pixmap.loadFromData(bytes->data(), static_cast<uint>(bytes->size()));
    }
    return pixmap;
}

std::vector<unsigned char> EncodePng(const QImage& image) {
    QByteArray data;
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return {};
    }
    return std::vector<unsigned char>(data.begin(), data.end());
}

}  // namespace ui::qt
