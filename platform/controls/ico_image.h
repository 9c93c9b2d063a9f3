// The images of a Windows icon file (.ico), read without the toolkit's image
// plugins: loading those at start costs more than the window's icon is worth.
// Handles what the program's own icon is made of, uncompressed bitmaps of 1, 4
// or 8 bits per pixel with their transparency masks; other entries (PNG, true
// colour) are skipped.
#pragma once

#include <QByteArrayView>
#include <QIcon>
#include <QImage>
#include <QList>

namespace controls {

// The images in the order the file lists them, as ARGB32 with the mask's
// pixels transparent. Truncated or malformed entries are left out.
QList<QImage> readIcoImages(QByteArrayView file);

// An icon of the file's images, one per size: where the file holds several of
// one size (a 2-colour and a 16-colour 32x32), the one with the most colours.
QIcon iconFromIco(QByteArrayView file);

}  // namespace controls
