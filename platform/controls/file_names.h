// File names as the file system holds them (bytes, UTF-8 by convention) and as
// the controls show them. A name that is not valid UTF-8 keeps each stray byte
// as a lone surrogate (U+DC80 to U+DCFF), so that it turns back into the very
// same bytes and the file can still be opened; Qt's own conversion would put
// U+FFFD in its place and lose the name.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <string>

namespace controls {

QString fileNameFromBytes(QByteArrayView bytes);
QByteArray fileNameToBytes(QStringView name);

// The same, for the text the player module takes and gives.
inline std::string fileNameToPlatform(QStringView name) { return fileNameToBytes(name).toStdString(); }
inline QString fileNameFromPlatform(const std::string& text) { return fileNameFromBytes(text); }

}  // namespace controls
