// converter: concatenates radar data files into one, thinning and averaging on the way.
// It works on files only and so never starts the socket layer.

#include "RcMainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char *const Usage =
    "Usage: converter [--help] [--version]\n\n"
    "Opens the converter's window: pick radar data files, order them, give the\n"
    "output file, the frames to drop after each frame written and the averaging\n"
    "range, and press \"Convert!\". Without a window: rrdcli convert --help.\n";

// --help and --version are answered before the application object exists: it would need a
// display, and a script asking for the version has none.
bool answeredWithoutWindow(int argc, char *argv[], int *status)
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(Usage, stdout);
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
    // Qt has taken its own options (-platform, -style ...) out: anything left is a slip that
    // must not pass unnoticed.
    const QStringList unknown = QCoreApplication::arguments().mid(1);
    if (!unknown.isEmpty()) {
        std::fprintf(stderr, "converter: unknown option or argument '%s'\n%s",
                     unknown.constFirst().toLocal8Bit().constData(), Usage);
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("converter"));
    QApplication::setApplicationVersion(QStringLiteral(SK_VERSION));
    RcMainWindow window;
    window.show();
    return app.exec();
}
