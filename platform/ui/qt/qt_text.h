// GBK <-> QString at the edge between the system's narrow texts and Qt.
#pragma once

#include <QString>
#include <string>

#include "platform/text/text.h"

namespace ui::qt {

inline QString FromGbk(const std::string& gbk) {
    return QString::fromUtf8(text::GbkToUtf8(gbk));
}

inline std::string ToGbk(const QString& s) {
    return text::Utf8ToGbk(s.toUtf8().toStdString());
}

}  // namespace ui::qt
