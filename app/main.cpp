#include <QApplication>

#include "ui/frmVELMYR.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VELMYR_VERSION_STRING));
    frmVELMYR window;
    window.show();
    return app.exec();
}
