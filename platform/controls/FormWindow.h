// A top-level window without frame or caption bar that raises the platform's
// window events: load, unload, mouse-move over its own surface and paint when
// the window system asks for it. Position in twips, state as a number.
#pragma once

#include <QWidget>

namespace controls {

class FormWindow : public QWidget {
    Q_OBJECT
public:
    explicit FormWindow(QWidget* parent = nullptr);

    float Left() const;
    void setLeft(float twips);
    float Top() const;
    void setTop(float twips);

    // Moves the window to topLeft (pixels), or, where it would not lie whole
    // on the available area of the screen there, in just far enough.
    void moveOnScreen(QPoint topLeft);

    static constexpr short Normal = 0, Minimized = 1, Maximized = 2;
    short WindowState() const;
    void setWindowState(short state);

    // Raises Unload, once; every way of closing the window comes here: a
    // close, the session's end, the end of the event loop, and whatever else
    // the program lets end it (app/: the termination signals).
    void unload();

    // How many times Paint has been raised (for diagnostics and tests).
    int paintCount() const { return paintCount_; }

signals:
    void Load();
    void Unload(short& Cancel);
    void MouseMove(short Button, short Shift, float X, float Y);
    // The window system asked for the window to be painted: first show, a
    // covered part uncovered, restore from minimized. Not raised when the
    // toolkit repaints because a control's caption or colour changed.
    void Paint();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place(QPoint topLeft);
    void raisePaint();

    bool watchingExpose_ = false;
    bool unloading_ = false;
    int paintCount_ = 0;
};

}  // namespace controls
