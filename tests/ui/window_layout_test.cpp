#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "window_harness.h"

using namespace velmyr_test;

namespace {

const QColor Navy(0, 0, 128), Black(0, 0, 0), White(255, 255, 255), Grey(128, 128, 128), Olive(128, 128, 0),
    Pink(255, 128, 128);

int pixelsLike(const QImage& image, const QRect& area, const std::function<bool(QColor)>& like) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) count += like(image.pixelColor(x, y));
    return count;
}

bool isColour(QColor c, QColor want) { return c.rgb() == want.rgb(); }

}  // namespace

TEST(WindowLayout, FramelessFixedWindowAtItsStartPosition) {
    WindowUnderTest w;
    ASSERT_TRUE(w.show());
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->windowTitle(), "Quillmere Mp3 Player");
    EXPECT_EQ(w->size(), QSize(225, 194));
    EXPECT_EQ(w->minimumSize(), w->maximumSize()) << "not resizable";
    EXPECT_EQ(w->pos(), QPoint(686, 350));
    EXPECT_FLOAT_EQ(w->Left(), 10290.0f);
    EXPECT_FLOAT_EQ(w->Top(), 5250.0f);
    EXPECT_EQ(w->font().family(), "Arial");
    EXPECT_DOUBLE_EQ(w->font().pointSizeF(), 8.25);
    EXPECT_EQ(w->font().weight(), QFont::Normal);
    // The window system gets the icon file's sizes only, and of the two 32x32
    // images the 16-colour one, pixel for pixel and mask for mask.
    QList<QSize> iconSizes = w->windowIcon().availableSizes();
    std::sort(iconSizes.begin(), iconSizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    EXPECT_EQ(iconSizes, (QList<QSize>{{16, 16}, {32, 32}}));
    QImageReader ico(QStringLiteral(VELMYR_ICON_DIR "/velmyr.ico"));
    for (auto [image, size] : {std::pair{1, 32}, std::pair{2, 16}}) {
        ASSERT_TRUE(ico.jumpToImage(image));
        EXPECT_EQ(w->windowIcon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32),
                  ico.read().convertToFormat(QImage::Format_ARGB32))
            << size;
    }
}

TEST(WindowLayout, ControlsHaveTheirPlacesCaptionsColoursAndFonts) {
    WindowUnderTest w;
    struct Expected {
        controls::EventLabel* label;
        QRect pixels;
        QString caption;
        QColor text;
        bool opaque;
        double points;
        int weight;
    };
    const Expected labels[] = {
        {w->Label1, {8, 0, 209, 17}, "                Quillmere  MP3 Player", White, true, 8.25, 700},
        {w->Label2, {0, 0, 17, 17}, "  _", Pink, true, 8.25, 400},
        {w->Label3, {208, 0, 17, 17}, "  X", Pink, true, 9, 700},
        {w->Label4, {168, 144, 17, 17}, " m", Grey, false, 8.25, 400},
        {w->Label5, {40, 144, 25, 17}, " play", White, false, 8.25, 400},
        {w->Label6, {72, 144, 41, 17}, "  pause", White, false, 8.25, 400},
        {w->Label7, {120, 144, 25, 17}, "stop", White, false, 8.25, 400},
        {w->Label8, {152, 144, 9, 17}, ">", White, false, 8.25, 400},
        {w->Label9, {24, 144, 9, 17}, "<", White, false, 8.25, 400},
        {w->Label10, {16, 168, 177, 17}, "(0) MP3 files in this directory", Grey, false, 8.25, 400},
    };
    for (const Expected& e : labels) {
        SCOPED_TRACE(e.caption.toStdString());
        EXPECT_EQ(e.label->geometry(), e.pixels);
        EXPECT_EQ(e.label->text(), e.caption);
        EXPECT_EQ(e.label->ForeColor(), e.text);
        EXPECT_EQ(e.label->autoFillBackground(), e.opaque);
        if (e.opaque) {
            EXPECT_EQ(e.label->palette().color(QPalette::Window), Black);
        }
        EXPECT_EQ(e.label->font().family(), "Arial");
        EXPECT_DOUBLE_EQ(e.label->font().pointSizeF(), e.points);
        EXPECT_EQ(e.label->font().weight(), QFont::Weight(e.weight));
    }
    EXPECT_EQ(w->Dir1->geometry(), QRect(24, 24, 169, 38));
    EXPECT_EQ(w->File1->geometry(), QRect(24, 64, 169, 72));
    EXPECT_EQ(w->File1->Pattern(), "*.mp3");
    EXPECT_EQ(w->Line1->geometry(), QRect(0, 0, 1, 160));
    EXPECT_EQ(w->Line2->geometry(), QRect(0, 192, 224, 1));
    EXPECT_EQ(w->Line3->geometry().left(), 240) << "beyond the right edge";
}

TEST(WindowLayout, GrabShowsTitleBandBackgroundListsAndCaptions) {
    WindowUnderTest w;
    ASSERT_TRUE(w.show());
    const QImage image = w->grab().toImage();
    ASSERT_EQ(image.size(), QSize(225, 194));

    for (int y : {0, 16})
        EXPECT_EQ(pixelsLike(image, QRect(0, y, 225, 1), [](QColor c) { return isColour(c, Black); }), 225)
            << "row " << y << " of the title band";
    EXPECT_TRUE(isColour(image.pixelColor(210, 100), Navy));
    EXPECT_TRUE(isColour(image.pixelColor(100, 20), Navy));
    EXPECT_TRUE(isColour(image.pixelColor(224, 192), Navy)) << "the bottom line stops short";

    // The lists: a flat black border round their own colour.
    EXPECT_TRUE(isColour(image.pixelColor(24, 40), Black));
    EXPECT_TRUE(isColour(image.pixelColor(25, 58), Grey));
    EXPECT_TRUE(isColour(image.pixelColor(24, 100), Black));
    EXPECT_TRUE(isColour(image.pixelColor(192, 100), Black));
    EXPECT_EQ(pixelsLike(image, QRect(25, 65, 167, 70), [](QColor c) { return isColour(c, Olive); }),
              167 * 70)
        << "no files in the starting folder";

    // The lines, in the window text colour.
    EXPECT_EQ(pixelsLike(image, QRect(0, 17, 1, 143), [](QColor c) { return isColour(c, Black); }), 143);
    EXPECT_TRUE(isColour(image.pixelColor(0, 160), Navy));
    EXPECT_EQ(pixelsLike(image, QRect(0, 192, 224, 1), [](QColor c) { return isColour(c, Black); }), 224);

    // Captions are drawn: the title and the buttons in white, the title
    // strip's buttons in pink, the grey labels in something other than navy.
    auto whiteish = [](QColor c) { return c.red() > 150 && c.red() == c.green(); };
    auto pinkish = [](QColor c) { return c.red() > 150 && c.red() > c.green() * 3 / 2; };
    auto notNavy = [](QColor c) { return !isColour(c, Navy); };
    EXPECT_GT(pixelsLike(image, QRect(40, 0, 160, 17), whiteish), 50);
    EXPECT_GT(pixelsLike(image, w->Label2->geometry(), pinkish), 3);
    EXPECT_GT(pixelsLike(image, w->Label3->geometry(), pinkish), 5);
    for (auto* label : {w->Label5, w->Label6, w->Label7, w->Label8, w->Label9})
        EXPECT_GT(pixelsLike(image, label->geometry(), whiteish), 1) << label->text().toStdString();
    EXPECT_GT(pixelsLike(image, w->Label4->geometry(), notNavy), 3);
    EXPECT_GT(pixelsLike(image, w->Label10->geometry(), notNavy), 50);
}

TEST(WindowLayout, StackingDecidesWhereThePointerGoes) {
    WindowUnderTest w;
    auto at = [](int xTwips, int yTwips) { return QPoint(xTwips / 15, yTwips / 15); };
    EXPECT_EQ(w->childAt(at(200, 100)), w->Label2);
    EXPECT_EQ(w->childAt(at(3200, 100)), w->Label3);
    EXPECT_EQ(w->childAt(at(1500, 100)), w->Label1);
    EXPECT_EQ(w->childAt(QPoint(0, 100)), nullptr) << "a line is not hit: the surface is";
    EXPECT_EQ(w->childAt(QPoint(100, 192)), nullptr);

    ASSERT_TRUE(w.show());
    QSignalSpy titlePresses(w->Label1, &controls::EventLabel::MouseDown);
    QTest::mousePress(w.handle(), Qt::LeftButton, {}, at(1500, 100));
    QTest::mouseRelease(w.handle(), Qt::LeftButton, {}, at(1500, 100));
    ASSERT_EQ(titlePresses.count(), 1);
    EXPECT_FLOAT_EQ(titlePresses.at(0).at(2).value<float>(), float((1500 / 15 - 8) * 15));

    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, at(200, 100));
    EXPECT_TRUE(w->isMinimized());
    EXPECT_EQ(w.endCalls, 0);
    w->showNormal();
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, at(3200, 100));
    EXPECT_EQ(w.endCalls, 1) << "the close label unloads the window";
}

TEST(WindowLayout, OnlyTheListsTakeTheFocusTheFileListFirst) {
    QTemporaryDir folder;
    makeEntries(folder.path(), {"a.mp3", "b.mp3"});
    WindowUnderTest w;
    w->Dir1->setPath(folder.path());
    ASSERT_TRUE(w.show());
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window.get()));
    EXPECT_EQ(QApplication::focusWidget(), w->File1);
    EXPECT_EQ(w->File1->ListIndex(), -1) << "focus makes a row current, not selected";
    EXPECT_EQ(w->File1->FileName(), "");

    QTest::keyClick(w.handle(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->Dir1);
    QTest::keyClick(w.handle(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->File1);
    for (QWidget* label : w->findChildren<controls::EventLabel*>())
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
}

TEST(ApplicationIcon, IcoHoldsThreeMaskedImagesInTheStandardPalettes) {
    QImageReader reader(QStringLiteral(VELMYR_ICON_DIR "/velmyr.ico"));
    ASSERT_EQ(reader.imageCount(), 3);
    QList<QRgb> vga;
    for (unsigned rgb :
         {0x000000u, 0x800000u, 0x008000u, 0x808000u, 0x000080u, 0x800080u, 0x008080u, 0xC0C0C0u, 0x808080u,
          0xFF0000u, 0x00FF00u, 0xFFFF00u, 0x0000FFu, 0xFF00FFu, 0x00FFFFu, 0xFFFFFFu})
        vga << (rgb | 0xFF000000u);
    const QList<QRgb> twoColours{0xFF000000u, 0xFFFFFFFFu};
    const QSize sizes[] = {{32, 32}, {32, 32}, {16, 16}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), sizes[i]);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the mask clears the corner";
        const QList<QRgb>& palette = i == 0 ? twoColours : vga;
        QSet<QRgb> used;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0) used.insert(image.pixel(x, y));
        for (QRgb colour : used) EXPECT_TRUE(palette.contains(colour)) << std::hex << colour;
        EXPECT_TRUE(used.contains(0xFFFFFFFFu)) << "the white window";
        if (i > 0) {
            EXPECT_TRUE(used.contains(0xFF00FFFFu)) << "the cyan title bar";
        }
    }
    for (int size : {16, 32, 48, 64, 128, 256})
        EXPECT_EQ(QImage(QStringLiteral(VELMYR_ICON_DIR "/velmyr-%1.png").arg(size)).size(),
                  QSize(size, size));
}
