// The baseline of the start-up and memory figures: a bare Qt frameless window
// of the player's size with one label and one list, and nothing else.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setWindowTitle(QStringLiteral("bare"));
    window.setGeometry(686, 350, 225, 194);
    QLabel label(QStringLiteral("label"), &window);
    label.setGeometry(24, 144, 120, 17);
    QListWidget list(&window);
    list.setGeometry(24, 64, 169, 72);
    list.addItems({QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")});
    window.show();
    return app.exec();
}
