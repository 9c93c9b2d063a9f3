// A label that raises click, mouse-down and mouse-move with the platform's
// mouse arguments (button bits, shift bits, x and y in twips relative to the
// label). Plain text only, so leading blanks of a caption are kept.
#pragma once

#include <QColor>
#include <QLabel>
#include <QList>
#include <optional>

namespace controls {

class EventLabel : public QLabel {
    Q_OBJECT
public:
    explicit EventLabel(QWidget* parent = nullptr);

    // Text colour. Setting the colour it already has is a no-op, so hover
    // feedback can set every colour at every pointer move without repainting.
    // It is kept apart from the palette: changing a widget's palette copies and
    // resolves it and costs far more than the repaint, at mouse-move rates.
    QColor ForeColor() const;
    void setForeColor(const QColor& color);
    // Opaque labels fill their rectangle with this colour before the text;
    // transparent ones (the default) draw only their text.
    void setOpaqueBackground(const QColor& color);

    // How assistive technology sees the label; the caption stays what is
    // drawn. A button is named in words for what a click does now, and a toggle
    // button's pressed state follows its caption.
    enum class Exposed { Text, Button, ToggleButton, Title, StatusBar };
    struct Words {
        QString caption;
        QString name;
        bool pressed = false;
    };
    void expose(Exposed kind, QList<Words> words = {});
    Exposed exposedAs() const { return exposed_; }
    // The words of the current caption; a caption without words is named by
    // its text without the surplus blanks.
    QString exposedName() const;
    bool exposedPressed() const;

    // QLabel's setText, which also tells assistive technology of the change
    // where the name alone does not say it: a toggle's pressed state, the
    // status bar's text.
    void setText(const QString& caption);

signals:
    // Press and release of the left button over the label; a double-click
    // raises exactly one Click (its second press is not a click).
    void Click();
    // Any button; the second press of a double-click is not a mouse-down.
    void MouseDown(short Button, short Shift, float X, float Y);
    // Also raised with no button held; while a button pressed on the label is
    // held, raised for every move with coordinates that may lie outside it.
    void MouseMove(short Button, short Shift, float X, float Y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool skipNextRelease_ = false;
    std::optional<QColor> foreColor_;  // none: the palette's text colour
    const Words* wordsNow() const;     // those of the current caption, if any

    Exposed exposed_ = Exposed::Text;
    QList<Words> words_;
};

}  // namespace controls
