#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "platform/controls/EventLabel.h"
#include "platform/controls/LineShape.h"
#include "platform/controls/mouse_args.h"

using controls::EventLabel;

namespace {

// A label inside a shown top-level window, driven through the native window so
// that presses, grabs and double-clicks are delivered as a user makes them.
struct LabelInWindow {
    QWidget window;
    EventLabel* label = new EventLabel(&window);
    QSignalSpy clicks{label, &EventLabel::Click};
    QSignalSpy downs{label, &EventLabel::MouseDown};
    QSignalSpy moves{label, &EventLabel::MouseMove};

    LabelInWindow() {
        window.setMouseTracking(true);
        window.resize(200, 100);
        label->setGeometry(40, 20, 60, 17);
        label->setText(QStringLiteral("  pause"));
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QWindow* handle() { return window.windowHandle(); }
    QPoint inLabel(int x, int y) { return label->mapTo(&window, QPoint(x, y)); }
};

}  // namespace

TEST(EventLabel, KeepsLeadingBlanksAsPlainText) {
    LabelInWindow w;
    EXPECT_EQ(w.label->text(), "  pause");
    EXPECT_EQ(w.label->textFormat(), Qt::PlainText);
    EXPECT_EQ(w.label->focusPolicy(), Qt::NoFocus);
}

TEST(EventLabel, ClickAndDoubleClickEachRaiseOneClick) {
    LabelInWindow w;
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.inLabel(5, 5));
    EXPECT_EQ(w.clicks.count(), 1);
    QTest::mouseDClick(w.handle(), Qt::LeftButton, {}, w.inLabel(5, 5));
    EXPECT_EQ(w.clicks.count(), 2) << "the second press of a double-click is no click";
    EXPECT_EQ(w.downs.count(), 2) << "nor a mouse-down";
    QTest::mouseClick(w.handle(), Qt::LeftButton, {}, w.inLabel(5, 5));
    EXPECT_EQ(w.clicks.count(), 3) << "the click after a double-click counts again";
}

TEST(EventLabel, RightButtonOrReleaseOutsideIsNoClick) {
    LabelInWindow w;
    QTest::mouseClick(w.handle(), Qt::RightButton, {}, w.inLabel(5, 5));
    EXPECT_EQ(w.clicks.count(), 0);
    ASSERT_EQ(w.downs.count(), 1);
    EXPECT_EQ(w.downs.at(0).at(0).value<short>(), 2);

    QTest::mousePress(w.handle(), Qt::LeftButton, {}, w.inLabel(5, 5));
    QTest::mouseRelease(w.handle(), Qt::LeftButton, {}, w.inLabel(90, 5));
    EXPECT_EQ(w.clicks.count(), 0);
}

TEST(EventLabel, MouseArgumentsAreBitsAndTwipsRelativeToTheLabel) {
    LabelInWindow w;
    QTest::mousePress(w.handle(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, w.inLabel(4, 7));
    ASSERT_EQ(w.downs.count(), 1);
    const QList<QVariant> down = w.downs.at(0);
    EXPECT_EQ(down.at(0).value<short>(), 1);
    EXPECT_EQ(down.at(1).value<short>(), 3);
    EXPECT_FLOAT_EQ(down.at(2).value<float>(), 60.0f);
    EXPECT_FLOAT_EQ(down.at(3).value<float>(), 105.0f);
    QTest::mouseRelease(w.handle(), Qt::LeftButton, {}, w.inLabel(4, 7));

    EXPECT_EQ(controls::shiftBits(Qt::AltModifier), 4);
    EXPECT_EQ(controls::buttonBits(Qt::LeftButton | Qt::MiddleButton), 5);
}

TEST(EventLabel, MovesArriveWithNoButtonAndOutsideWhileHeld) {
    LabelInWindow w;
    QTest::mouseMove(w.handle(), w.inLabel(10, 3));
    ASSERT_EQ(w.moves.count(), 1);
    EXPECT_EQ(w.moves.at(0).at(0).value<short>(), 0);
    EXPECT_FLOAT_EQ(w.moves.at(0).at(2).value<float>(), 150.0f);

    // Pressed on the label, the pointer keeps reporting to it past its edges.
    QTest::mousePress(w.handle(), Qt::LeftButton, {}, w.inLabel(10, 3));
    QTest::mouseMove(w.handle(), w.inLabel(-20, 50));
    ASSERT_EQ(w.moves.count(), 2);
    const QList<QVariant> outside = w.moves.at(1);
    EXPECT_EQ(outside.at(0).value<short>(), 1);
    EXPECT_FLOAT_EQ(outside.at(2).value<float>(), -300.0f);
    EXPECT_FLOAT_EQ(outside.at(3).value<float>(), 750.0f);
    QTest::mouseRelease(w.handle(), Qt::LeftButton, {}, w.inLabel(-20, 50));
    EXPECT_EQ(w.clicks.count(), 0);
}

TEST(EventLabel, ForeColorAndOpaqueBackground) {
    EventLabel label;
    EXPECT_FALSE(label.autoFillBackground());
    label.setForeColor(QColor(128, 128, 128));
    EXPECT_EQ(label.ForeColor(), QColor(128, 128, 128));
    label.setOpaqueBackground(Qt::black);
    EXPECT_TRUE(label.autoFillBackground());
    EXPECT_EQ(label.palette().color(QPalette::Window), QColor(Qt::black));
}

TEST(EventLabel, DrawsItsTextAsAPlainLabelWouldInItsOwnColour) {
    QWidget parent;
    QPalette navy = parent.palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    parent.setPalette(navy);
    parent.setAutoFillBackground(true);
    parent.resize(240, 40);
    QFont bold(QStringLiteral("Arial"));
    bold.setPointSizeF(8.25);
    bold.setBold(true);

    auto* label = new EventLabel(&parent);
    auto* plain = new QLabel(&parent);
    plain->setTextFormat(Qt::PlainText);
    plain->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    plain->setMargin(0);
    plain->setIndent(0);
    label->setGeometry(0, 0, 220, 17);
    plain->setGeometry(0, 20, 220, 17);
    const struct {
        const char* caption;
        QColor colour;
        bool bold;
    } cases[] = {{"  pause", Qt::white, false},
                 {" m", QColor(128, 128, 128), false},
                 {"(12) MP3 files in this directory", QColor(128, 128, 128), false},
                 {"                Quillmere  MP3 Player", Qt::white, true}};
    for (const auto& c : cases) {
        for (QLabel* l : {static_cast<QLabel*>(label), plain}) {
            l->setText(QString::fromLatin1(c.caption));
            l->setFont(c.bold ? bold : parent.font());
        }
        label->setForeColor(c.colour);
        QPalette p = plain->palette();
        p.setColor(QPalette::WindowText, c.colour);
        plain->setPalette(p);
        const QImage drawn = parent.grab(label->geometry()).toImage();
        EXPECT_EQ(drawn, parent.grab(plain->geometry()).toImage()) << c.caption;
        for (qreal ratio : {2.0, 1.5}) {
            auto rendered = [&](QWidget* l) {
                QImage image(l->size() * ratio, QImage::Format_ARGB32_Premultiplied);
                image.setDevicePixelRatio(ratio);
                image.fill(Qt::darkBlue);
                l->render(&image);
                return image;
            };
            EXPECT_EQ(rendered(label), rendered(plain)) << c.caption << " at " << ratio;
        }
        int textPixels = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x) textPixels += drawn.pixelColor(x, y) != QColor(0, 0, 128);
        EXPECT_GT(textPixels, 5) << c.caption;
    }
}

TEST(LineShape, CoversItsPixelsAndTakesNoMouse) {
    QWidget parent;
    auto* across = new controls::LineShape(&parent);
    across->setLine(0, 2880, 3360, 2880);
    EXPECT_EQ(across->geometry(), QRect(0, 192, 224, 1));
    auto* down = new controls::LineShape(&parent);
    down->setLine(0, 0, 0, 2400);
    EXPECT_EQ(down->geometry(), QRect(0, 0, 1, 160));
    EXPECT_TRUE(down->testAttribute(Qt::WA_TransparentForMouseEvents));
}
