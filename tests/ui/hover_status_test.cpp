#include <QExposeEvent>
#include <QImage>
#include <gtest/gtest.h>

#include "window_harness.h"

using namespace velmyr_test;

namespace {

class Hover : public ::testing::Test {
protected:
    void SetUp() override {
        makeEntries(folder.path(), {"a.mp3", "b.mp3", "c.mp3", "one/", "one/x.mp3"});
        w->Dir1->setPath(folder.path());
        ASSERT_TRUE(w.show());
    }

    // The text colours of the seven hover labels, 4 to 10: 'H' lit, 'R' at
    // rest, '?' anything else.
    std::string colours() {
        std::string out;
        for (auto* label : {w->Label4, w->Label5, w->Label6, w->Label7, w->Label8, w->Label9, w->Label10})
            out += label->ForeColor() == frmVELMYR::HoverColor() ? 'H'
                   : label->ForeColor() == frmVELMYR::RestColor  ? 'R'
                                                                 : '?';
        return out;
    }
    QString status() { return w->Label10->text(); }
    // Grey moves all seven labels back to rest; any other point of the surface
    // does the same.
    QPoint surface() { return QPoint(205, 100); }

    QTemporaryDir folder;
    WindowUnderTest w;
    const QString longWording = QStringLiteral("(3) MP3 files in this directory");
    const QString shortWording = QStringLiteral("(3) mp3's in this dir");
};

}  // namespace

TEST_F(Hover, BeforeAnyMoveFiveLabelsAreWhiteAndTwoGrey) {
    EXPECT_EQ(w->Label4->ForeColor(), frmVELMYR::RestColor);
    EXPECT_EQ(w->Label10->ForeColor(), frmVELMYR::RestColor);
    for (auto* label : {w->Label5, w->Label6, w->Label7, w->Label8, w->Label9})
        EXPECT_EQ(label->ForeColor(), QColor(Qt::white));
    EXPECT_EQ(frmVELMYR::RestColor, QColor(128, 128, 128));
    EXPECT_EQ(frmVELMYR::HoverColor(), QGuiApplication::palette().color(QPalette::Base));
}

TEST_F(Hover, TheWindowSurfacePutsAllSevenToRestInTheLongWording) {
    w.moveOver(w->Label5);
    ASSERT_EQ(colours(), "RHRRRRR");
    w.moveOver(w->Label4);
    ASSERT_EQ(status(), shortWording);
    w.moveTo(surface());
    EXPECT_EQ(colours(), "RRRRRRR");
    EXPECT_EQ(status(), longWording);
    w.moveOver(w->Label4);
    w.moveTo(QPoint(100, 192));  // on the bottom line: the surface beneath it
    EXPECT_EQ(colours(), "RRRRRRR");
    EXPECT_EQ(status(), longWording);
}

TEST_F(Hover, EachButtonLightsItselfAndWritesItsWording) {
    struct Row {
        controls::EventLabel* label;
        const char* colours;
        bool shortWording;
    };
    const Row rows[] = {{w->Label4, "HRRRRRR", true},
                        {w->Label5, "RHRRRRR", false},
                        {w->Label6, "RRHRRRR", false},
                        {w->Label7, "RRRHRRR", false},
                        {w->Label9, "RRRRRHR", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.colours);
        w.moveTo(surface());
        w->Label10->setText("untouched");
        w.moveOver(row.label);
        EXPECT_EQ(colours(), row.colours);
        EXPECT_EQ(status(), row.shortWording ? shortWording : longWording);
    }
}

TEST_F(Hover, TheNextLabelAndTheStatusLineLeaveTheTextAlone) {
    w.moveOver(w->File1);
    ASSERT_EQ(status(), shortWording);
    w.moveOver(w->Label8);
    EXPECT_EQ(colours(), "RRRRHRR");
    EXPECT_EQ(status(), shortWording);
    w.moveOver(w->Label10);
    EXPECT_EQ(colours(), "RRRRRRH");
    EXPECT_EQ(status(), shortWording);
}

TEST_F(Hover, ListsAndTheCloseLabelRewriteTheTextButLeaveTheLitLabelLit) {
    w.moveOver(w->Label5);
    w.moveOver(w->File1);
    EXPECT_EQ(colours(), "RHRRRRR");
    EXPECT_EQ(status(), shortWording);
    w.moveOver(w->Dir1);
    EXPECT_EQ(colours(), "RHRRRRR");
    EXPECT_EQ(status(), longWording);
    w.moveOver(w->Label4);
    w.moveOver(w->Label3);
    EXPECT_EQ(colours(), "HRRRRRR");
    EXPECT_EQ(status(), longWording);
    w.moveOver(w->Label4);
    w.moveOver(w->Label2);  // no handler
    w.moveOver(w->Label1);  // the drag handle, no button held
    EXPECT_EQ(colours(), "HRRRRRR");
    EXPECT_EQ(status(), shortWording);
}

TEST_F(Hover, AFolderChangeKeepsTheOldCountUntilTheNextRewrite) {
    w.moveOver(w->Dir1);
    ASSERT_EQ(status(), longWording);
    w->Dir1->setPath(folder.path() + "/one");
    EXPECT_EQ(status(), longWording);
    w.moveOver(w->Label8);
    EXPECT_EQ(status(), longWording);
    w.moveOver(w->Dir1);
    EXPECT_EQ(status(), "(1) MP3 files in this directory");
    w->Dir1->setPath(folder.path() + "/one/..");
    w.moveOver(w->Label7);
    EXPECT_EQ(status(), longWording);
}

TEST_F(Hover, TheLitLabelIsDrawnInHoverColourTheOthersInGrey) {
    w.moveOver(w->Label7);
    QCoreApplication::processEvents();
    ASSERT_EQ(colours(), "RRRHRRR");
    const QImage image = w->grab().toImage();
    auto count = [&](QWidget* label, auto like) {
        int n = 0;
        const QRect area = label->geometry();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += like(image.pixelColor(x, y));
        return n;
    };
    // Text is blended into the navy beneath it: only a text colour brighter
    // than grey gives red or green above 128.
    auto nearHover = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };
    auto brighterThanGrey = [](QColor c) { return c.red() > 128 || c.green() > 128; };
    EXPECT_GT(count(w->Label7, nearHover), 3);
    for (auto* label : {w->Label4, w->Label5, w->Label6, w->Label8, w->Label9, w->Label10}) {
        EXPECT_EQ(count(label, brighterThanGrey), 0) << label->text().toStdString();
        EXPECT_GT(count(label, [](QColor c) { return c.rgb() != QColor(0, 0, 128).rgb(); }), 0);
    }
}

TEST_F(Hover, OnlyTheWindowSystemsRequestsRunThePaintHandler) {
    // The short wording survives the repaints that follow the caption change.
    w.moveOver(w->File1);
    ASSERT_EQ(status(), shortWording);
    const int before = w->paintCount();
    QTest::qWait(50);
    w->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(status(), shortWording);
    EXPECT_EQ(w->paintCount(), before);

    // An expose rewrites it, in the long wording, once.
    QExposeEvent expose(QRegion(0, 0, 225, 194));
    QCoreApplication::sendEvent(w.handle(), &expose);
    EXPECT_EQ(status(), longWording);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->paintCount(), before + 1);

    // A thousand caption and colour changes set off no paint handler run.
    for (int i = 0; i < 500; ++i) {
        w.moveOver(i % 2 ? w->Label4 : w->Label5);
        w.moveOver(w->File1);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(w->paintCount(), before + 1);
    EXPECT_EQ(status(), shortWording);
}

TEST_F(Hover, ShowingAndRestoringFromMinimizedRewriteTheStatusLine) {
    EXPECT_GE(w->paintCount(), 1) << "the first show";
    w.moveOver(w->File1);
    w->showMinimized();
    QCoreApplication::processEvents();
    w->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(status(), longWording);
    EXPECT_LE(w->paintCount(), 4);
}
