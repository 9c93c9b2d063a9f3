#include "file_names.h"

#include <algorithm>

#include "platform/common/ascii.h"

namespace controls {

namespace {

constexpr char16_t StrayByteBase = 0xDC00;

// The length of the valid UTF-8 sequence at bytes[at], or 0 when there is none
// (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut short).
qsizetype validSequenceLength(QByteArrayView bytes, qsizetype at, char32_t& codePoint) {
    const auto byte = [&](qsizetype i) { return (unsigned char)bytes[i]; };
    const unsigned char lead = byte(at);
    qsizetype length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return length;
}

}  // namespace

QString fileNameFromBytes(QByteArrayView bytes) {
    if (common::isAscii(bytes)) return QString::fromLatin1(bytes);
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const unsigned char lead = (unsigned char)bytes[at];
        char32_t codePoint = lead;
        const qsizetype length = lead < 0x80 ? 1 : validSequenceLength(bytes, at, codePoint);
        if (length == 0) {
            name.append(QChar(char16_t(StrayByteBase + lead)));
            ++at;
        } else {
            name.append(QStringView(QChar::fromUcs4(codePoint)));
            at += length;
        }
    }
    return name;
}

QByteArray fileNameToBytes(QStringView name) {
    const bool hasStrayBytes = std::any_of(name.begin(), name.end(), [](QChar c) {
        return c.unicode() >= StrayByteBase + 0x80 && c.unicode() <= StrayByteBase + 0xFF;
    });
    if (!hasStrayBytes) return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size());
    for (qsizetype at = 0; at < name.size(); ++at) {
        const char16_t unit = name[at].unicode();
        if (unit >= StrayByteBase + 0x80 && unit <= StrayByteBase + 0xFF) {
            bytes.append(char(unit - StrayByteBase));
        } else if (QChar::isHighSurrogate(unit) && at + 1 < name.size() && name[at + 1].isLowSurrogate()) {
            bytes.append(name.mid(at, 2).toUtf8());
            ++at;
        } else {
            bytes.append(name.mid(at, 1).toUtf8());
        }
    }
    return bytes;
}

}  // namespace controls
