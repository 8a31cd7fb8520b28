// Where the program's byte strings meet Qt: a byte string shown as text (Latin-1, one character per
// byte, never decoded as UTF-8) and a received QByteArray read as bytes. The one home of both rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "core/common/bytes.h"
#include "core/common/text.h"

namespace tarn {

inline QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The bytes of a text the operator typed, one per character; a character beyond Latin-1 becomes
// kNotLatin1 (QString::toLatin1 would make it "?", a valid character, and the device would take it).
inline std::string latin1Bytes(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) out.push_back(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : kNotLatin1);
    return out;
}

inline ByteView asBytes(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
}

}  // namespace tarn
