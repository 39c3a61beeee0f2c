// fernwell: the Fernwell Setup Tool. Takes no command-line arguments.

#include <QApplication>

#include "app/FernwellApp.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fernwell"));
    CFernwellApp app;
    app.InitInstance();
    return 0;
}
