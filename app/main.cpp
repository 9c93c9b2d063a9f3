#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(VELMYR_VERSION_STRING);
    QLabel placeholder("The window is not built yet.");
    placeholder.show();
    return app.exec();
}
