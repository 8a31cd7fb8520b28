// Where the program's byte strings meet Qt: a byte string shown as text (Latin-1, one character per
// byte, never decoded as UTF-8) and a received QByteArray read as bytes. The one home of both rules.
#pragma once

#include <cstdint>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "core/common/bytes.h"

namespace tarn {

inline QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline ByteView asBytes(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}

}  // namespace tarn
