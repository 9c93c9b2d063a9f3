#include "FormWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "mouse_args.h"

namespace controls {

FormWindow::FormWindow(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setMouseTracking(true);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &FormWindow::unload);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &FormWindow::unload);
}

float FormWindow::Left() const { return toTwips(x()); }

void FormWindow::setLeft(float twips) { place(QPoint(int(std::lround(twips / TwipsPerPixel)), y())); }

float FormWindow::Top() const { return toTwips(y()); }

void FormWindow::setTop(float twips) { place(QPoint(x(), int(std::lround(twips / TwipsPerPixel)))); }

void FormWindow::place(QPoint topLeft) {
    // Where a client may not place its own window, the window system moves it
    // while the button that started the drag is held.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        if (windowHandle() && (QGuiApplication::mouseButtons() & Qt::LeftButton) &&
            windowHandle()->startSystemMove())
            return;
    }
    move(topLeft);
}

void FormWindow::moveOnScreen(QPoint topLeft) {
    QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen) screen = this->screen();
    if (!screen) {
        move(topLeft);
        return;
    }
    const QRect area = screen->availableGeometry();
    QRect placed(topLeft, frameGeometry().size());
    if (placed.right() > area.right()) placed.moveRight(area.right());
    if (placed.bottom() > area.bottom()) placed.moveBottom(area.bottom());
    if (placed.left() < area.left()) placed.moveLeft(area.left());
    if (placed.top() < area.top()) placed.moveTop(area.top());
    move(placed.topLeft());
}

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
    // events; the widgets' own paint events come from the toolkit's repaints too.
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
