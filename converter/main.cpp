// converter: concatenates radar data files into one, thinning and averaging on the way.
// It works on files only and so never starts the socket layer.

#include "RcMainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version are answered before the application object exists: it would need a
// display, and a script asking for the version has none.
bool answeredWithoutWindow(int argc, char *argv[], int *status)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("Usage: converter [--help] [--version]\n\n"
                        "Opens the converter's window: pick radar data files, order them, give the\n"
                        "output file, the frames to drop after each frame written and the averaging\n"
                        "range, and press \"Convert!\". Without a window: rrdcli convert --help.\n");
            *status = 0;
            return true;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-V")) {
            std::printf("converter %s\n", SK_VERSION);
            *status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    int status = 0;
    if (answeredWithoutWindow(argc, argv, &status))
        return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("converter"));
    QApplication::setApplicationVersion(QStringLiteral(SK_VERSION));
    RcMainWindow window;
    window.show();
    return app.exec();
}
