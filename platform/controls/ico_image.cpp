#include "ico_image.h"

#include <QMap>
#include <QPixmap>
#include <cstdint>

namespace controls {

namespace {

struct Reader {
    QByteArrayView data;

    bool has(qsizetype offset, qsizetype length) const {
        return offset >= 0 && length >= 0 && offset <= data.size() && length <= data.size() - offset;
    }
    unsigned byte(qsizetype at) const { return uint8_t(data[at]); }
    unsigned u16(qsizetype at) const { return byte(at) | byte(at + 1) << 8; }
    uint32_t u32(qsizetype at) const { return u16(at) | uint32_t(u16(at + 2)) << 16; }
};

struct IcoImage {
    QImage image;
    int bits = 0;
};

// One entry's bitmap: a 40-byte header, the palette, the colour rows and the
// 1-bit mask rows, each row bottom-up and padded to 4 bytes.
IcoImage readBitmap(const Reader& file, qsizetype at, qsizetype length) {
    if (!file.has(at, length) || length < 40) return {};
    const Reader r{file.data.sliced(at, length)};
    const uint32_t headerSize = r.u32(0);
    const int width = int(int32_t(r.u32(4)));
    const int height = int(int32_t(r.u32(8))) / 2;  // colour rows and mask rows
    const int bits = int(r.u16(14));
    const uint32_t compression = r.u32(16);
    if (headerSize < 40 || compression != 0 || (bits != 1 && bits != 4 && bits != 8) || width <= 0 ||
        height <= 0 || width > 256 || height > 256)
        return {};
    const uint32_t used = r.u32(32);
    const qsizetype colours = used != 0 && used < (1u << bits) ? used : qsizetype(1) << bits;
    const qsizetype paletteAt = headerSize;
    const qsizetype colourStride = ((qsizetype(width) * bits + 31) / 32) * 4;
    const qsizetype maskStride = ((qsizetype(width) + 31) / 32) * 4;
    const qsizetype rowsAt = paletteAt + colours * 4;
    const qsizetype maskAt = rowsAt + colourStride * height;
    if (!r.has(paletteAt, colours * 4) || !r.has(maskAt, maskStride * height)) return {};

    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const qsizetype row = rowsAt + colourStride * (height - 1 - y);
        const qsizetype maskRow = maskAt + maskStride * (height - 1 - y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const qsizetype bit = qsizetype(x) * bits;
            const unsigned packed = r.byte(row + bit / 8);
            const unsigned index = (packed >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            const bool clear = (r.byte(maskRow + x / 8) >> (7 - x % 8)) & 1;
            if (clear || qsizetype(index) >= colours) {
                line[x] = qRgba(0, 0, 0, 0);
                continue;
            }
            const qsizetype entry = paletteAt + qsizetype(index) * 4;
            line[x] = qRgb(int(r.byte(entry + 2)), int(r.byte(entry + 1)), int(r.byte(entry)));
        }
    }
    return {image, bits};
}

QList<IcoImage> readEntries(QByteArrayView data) {
    const Reader file{data};
    QList<IcoImage> images;
    if (!file.has(0, 6) || file.u16(0) != 0 || file.u16(2) != 1) return images;
    const unsigned count = file.u16(4);
    for (unsigned i = 0; i < count; ++i) {
        const qsizetype entry = 6 + qsizetype(i) * 16;
        if (!file.has(entry, 16)) break;
        IcoImage image = readBitmap(file, qsizetype(file.u32(entry + 12)), qsizetype(file.u32(entry + 8)));
        if (!image.image.isNull()) images.append(image);
    }
    return images;
}

}  // namespace

QList<QImage> readIcoImages(QByteArrayView file) {
    QList<QImage> images;
    for (const IcoImage& entry : readEntries(file)) images.append(entry.image);
    return images;
}

QIcon iconFromIco(QByteArrayView file) {
    // A QIcon holds one image per size: keep the deepest of each.
    QMap<QPair<int, int>, IcoImage> best;
    for (const IcoImage& entry : readEntries(file)) {
        IcoImage& kept = best[{entry.image.width(), entry.image.height()}];
        if (entry.bits > kept.bits) kept = entry;
    }
    QIcon icon;
    for (const IcoImage& entry : best) icon.addPixmap(QPixmap::fromImage(entry.image));
    return icon;
}

}  // namespace controls
