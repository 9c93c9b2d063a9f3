#include "FormWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWindow>
#include <cmath>

#include "mouse_args.h"

namespace controls {

FormWindow::FormWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setMouseTracking(true);
}

float FormWindow::Left() const { return toTwips(x()); }

void FormWindow::setLeft(float twips) { move(int(std::lround(twips / TwipsPerPixel)), y()); }

float FormWindow::Top() const { return toTwips(y()); }

void FormWindow::setTop(float twips) { move(x(), int(std::lround(twips / TwipsPerPixel))); }

short FormWindow::WindowState() const {
    if (isMinimized()) return Minimized;
    if (isMaximized()) return Maximized;
    return Normal;
}

void FormWindow::setWindowState(short state) {
    switch (state) {
    case Minimized: showMinimized(); break;
    case Maximized: showMaximized(); break;
    default: showNormal(); break;
    }
}

void FormWindow::unload() {
    if (unloading_) return;
    unloading_ = true;
    short cancel = 0;
    emit Unload(cancel);
    if (cancel != 0) unloading_ = false;
}

void FormWindow::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()),
                   toTwips(event->position().x()), toTwips(event->position().y()));
}

void FormWindow::closeEvent(QCloseEvent* event) {
    unload();
    event->setAccepted(unloading_);
}

void FormWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window system's requests to paint reach the native window as expose
    // events; the widgets' own paint events also come from the toolkit's
    // repaints after a caption change, which must not count.
    if (!watchingExpose_ && windowHandle()) {
        windowHandle()->installEventFilter(this);
        watchingExpose_ = true;
    }
}

void FormWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized()) raisePaint();
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == windowHandle() && windowHandle()->isExposed())
        raisePaint();
    return QWidget::eventFilter(watched, event);
}

void FormWindow::raisePaint() {
    ++paintCount_;
    emit Paint();
}

}  // namespace controls
