// converter: concatenates radar data files into one, thinning and averaging on the way.
// It works on files only and so never starts the socket layer.

#include "RcMainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("converter"));
    RcMainWindow window;
    window.show();
    return app.exec();
}
