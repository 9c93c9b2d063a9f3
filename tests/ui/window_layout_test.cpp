#include <QImage>
#include <gtest/gtest.h>

#include "window_harness.h"

using namespace velmyr_test;

TEST(WindowLayout, ShowsFramelessAtItsStartPosition) {
    WindowUnderTest w;
    ASSERT_TRUE(w.show());
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w->windowTitle(), "Quillmere Mp3 Player");
    EXPECT_EQ(w->size(), QSize(225, 194));
    EXPECT_EQ(w->pos(), QPoint(686, 350));
}
