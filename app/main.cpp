// skarnel: the viewer. Start-up in the order the pieces depend on each other: the matrix
// library and the socket layer before any thread, the meta-types before any queued signal,
// the identity before any settings, the window last.

#include "SkCommandLine.h"
#include "SkMainWindow.h"
#include "SkPlotMetaTypes.h"
#include "SkStoreMetaTypes.h"
#include "SkWindowGrabber.h"

#include <Eigen/Core>

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QSettings>

#include <cstdio>
#include <memory>

namespace {

constexpr int MinimumPointSize = 9;

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args;
}

void applyStyleSheet(QApplication &app)
{
    QFile css(QStringLiteral(":/sk/skarnel.css"));
    if (css.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(css.readAll()));
}

void applyMinimumFont()
{
    QFont font = QApplication::font();
    if (font.pointSize() > 0 && font.pointSize() < MinimumPointSize) {
        font.setPointSize(MinimumPointSize);
        QApplication::setFont(font);
    }
}

// A grab needs no screen: without one it draws offscreen instead of failing.
void chooseGrabPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version need no window and no display.
    const SkCommandLine commandLine = SkCommandLine::parse(argumentsOf(argc, argv));
    if (commandLine.help) {
        std::fputs(SkCommandLine::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("skarnel %s\n", SK_VERSION);
        return 0;
    }
    const bool grab = !commandLine.grabFile.isEmpty();
    if (grab && !commandLine.errors.isEmpty()) {
        for (const QString &error : commandLine.errors)
            std::fprintf(stderr, "skarnel: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    Eigen::initParallel();
    skRegisterStoreMetaTypes();
    skRegisterPlotMetaTypes();
    QCoreApplication::setOrganizationDomain(QStringLiteral("radar"));
    QCoreApplication::setApplicationName(QStringLiteral("skarnel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SK_VERSION));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
#endif
    QSettings::setDefaultFormat(QSettings::IniFormat);
    if (grab)
        chooseGrabPlatform();

    auto app = std::make_unique<QApplication>(argc, argv);
    applyStyleSheet(*app);
    applyMinimumFont();

    auto window = std::make_unique<SkMainWindow>();
    std::unique_ptr<SkWindowGrabber> grabber;
    if (grab) {
        window->resize(1600, 1000);
        grabber = std::make_unique<SkWindowGrabber>(window.get(), commandLine);
        QObject::connect(grabber.get(), &SkWindowGrabber::finished, app.get(),
                         [&window](int status) {
                             window->close();
                             QCoreApplication::exit(status);
                         });
    }
    window->show();
    if (grabber)
        grabber->start();
    const int status = app->exec();

    grabber.reset();
    window.reset();
    app.reset();
    return status;
}
