#include "SkCommandLine.h"

#include "SkDialogConfigure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QVector>

namespace {

const QStringList DataFilePatterns = {QStringLiteral("*.rrd"), QStringLiteral("*.rrd0"),
                                      QStringLiteral("*.rrd.gz"), QStringLiteral("*.rrd0.gz"),
                                      QStringLiteral("*.zip")};

bool toInt(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

// The entries a wildcard or a directory stands for, sorted by name so that minute files come
// in time order.
QStringList expand(const QString &argument)
{
    const QFileInfo info(argument);
    const bool isDirectory = info.isDir();
    const QDir dir(isDirectory ? info.absoluteFilePath() : info.absolutePath());
    const QStringList filters = isDirectory ? DataFilePatterns : QStringList{info.fileName()};
    QStringList out;
    const QStringList names =
        dir.entryList(filters, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names)
        out.append(dir.filePath(name));
    return out;
}

bool isWildcard(const QString &argument)
{
    return argument.contains(QLatin1Char('*')) || argument.contains(QLatin1Char('?'));
}

} // namespace

QStringList SkCommandLine::dockNames()
{
    return {QStringLiteral("details"), QStringLiteral("log"), QStringLiteral("live"),
            QStringLiteral("rgsum"), QStringLiteral("params"), QStringLiteral("computed")};
}

QStringList SkCommandLine::typeNames()
{
    return {QStringLiteral("original"), QStringLiteral("filtered"), QStringLiteral("normalized"),
            QStringLiteral("background"), QStringLiteral("halfsym")};
}

int SkCommandLine::typeOf(const QString &name)
{
    static const int types[] = {0, 1, 6, 5, 7};
    const int i = typeNames().indexOf(name);
    return i < 0 ? -1 : types[i];
}

SkCommandLine SkCommandLine::parse(const QStringList &args)
{
    SkCommandLine c;
    // Takes the value after option i; false (and an error) when there is none.
    auto value = [&](int &i, QString *out) {
        if (i + 1 >= args.size()) {
            c.errors.append(QStringLiteral("%1 needs a value").arg(args.at(i)));
            return false;
        }
        *out = args.at(++i);
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        QString v;
        if (a == QLatin1String("--batch") || a == QLatin1String("--n")) {
            int n = 0;
            if (i + 1 < args.size() && toInt(args.at(i + 1), &n))
                (a == QLatin1String("--batch") ? c.batchSize : c.maxFrames) = n;
            if (i + 1 < args.size())
                ++i;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            c.help = true;
        } else if (a == QLatin1String("--version")) {
            c.version = true;
        } else if (a == QLatin1String("--process-params")) {
            c.processParams = true;
        } else if (a == QLatin1String("--grab")) {
            if (value(i, &v))
                c.grabFile = v;
        } else if (a == QLatin1String("--frame")) {
            int n = 0;
            if (value(i, &v)) {
                if (toInt(v, &n) && n >= 0)
                    c.grabFrame = n;
                else
                    c.errors.append(QStringLiteral("--frame: '%1' is not a frame number").arg(v));
            }
        } else if (a == QLatin1String("--rangegate")) {
            int n = 0;
            if (value(i, &v)) {
                if (toInt(v, &n) && n >= 0)
                    c.grabRangegate = n;
                else
                    c.errors.append(QStringLiteral("--rangegate: '%1' is not a range gate").arg(v));
            }
        } else if (a == QLatin1String("--channel")) {
            int n = 0;
            if (value(i, &v)) {
                if (toInt(v, &n) && n >= 0 && n < 1024)
                    c.grabChannel = n;
                else
                    c.errors.append(QStringLiteral("--channel: '%1' is not a channel (0-1023)").arg(v));
            }
        } else if (a == QLatin1String("--view")) {
            const QStringList views = {QStringLiteral("frame"), QStringLiteral("rangegates"),
                                       QStringLiteral("velocities")};
            if (value(i, &v)) {
                c.grabView = views.indexOf(v);
                if (c.grabView < 0)
                    c.errors.append(QStringLiteral("--view: '%1' is none of %2")
                                        .arg(v, views.join(QStringLiteral(", "))));
            }
        } else if (a == QLatin1String("--dock")) {
            if (value(i, &v)) {
                if (dockNames().contains(v))
                    c.grabDocks.append(v);
                else
                    c.errors.append(QStringLiteral("--dock: '%1' is none of %2")
                                        .arg(v, dockNames().join(QStringLiteral(", "))));
            }
        } else if (a == QLatin1String("--show")) {
            if (value(i, &v)) {
                c.grabType = typeOf(v);
                if (c.grabType < 0)
                    c.errors.append(QStringLiteral("--show: '%1' is none of %2")
                                        .arg(v, typeNames().join(QStringLiteral(", "))));
            }
        } else if (a == QLatin1String("--peak-shift")) {
            const QStringList shifts = {QStringLiteral("none"), QStringLiteral("right"),
                                        QStringLiteral("middle")};
            if (value(i, &v)) {
                const int k = shifts.indexOf(v);
                if (k < 0)
                    c.errors.append(QStringLiteral("--peak-shift: '%1' is none of %2")
                                        .arg(v, shifts.join(QStringLiteral(", "))));
                else
                    c.grabPeakShift = QVector<int>{0, 200, 512}.at(k);
            }
        } else if (a == QLatin1String("--zmax")) {
            if (value(i, &v)) {
                bool ok = false;
                const double z = v.toDouble(&ok);
                if (ok && z >= 1 && z <= 999999)
                    c.grabZMax = z;
                else
                    c.errors.append(QStringLiteral("--zmax: '%1' is not a number from 1 to 999999").arg(v));
            }
        } else if (a == QLatin1String("--language")) {
            if (value(i, &v)) {
                if (SkDialogConfigure::languages().contains(v))
                    c.language = v;
                else
                    c.errors.append(QStringLiteral("--language: '%1' is none of %2")
                                        .arg(v, SkDialogConfigure::languages().join(QStringLiteral(", "))));
            }
        } else if (a == QLatin1String("--grab-dialog")) {
            if (value(i, &v)) {
                if (v == QLatin1String("options"))
                    c.grabDialog = v;
                else
                    c.errors.append(QStringLiteral("--grab-dialog: '%1' is not options").arg(v));
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            c.errors.append(QStringLiteral("unknown option %1").arg(a));
        } else if (isWildcard(a) || QFileInfo(a).isDir()) {
            const QStringList found = expand(a);
            if (found.isEmpty())
                c.unmatched.append(a);
            c.sources.append(found);
        } else if (a.contains(QLatin1Char(':')) && !QFileInfo::exists(a)) {
            c.sources.append(a);
            c.streamMode = true;
        } else {
            c.sources.append(a);
        }
    }
    return c;
}

QString SkCommandLine::helpText()
{
    return QCoreApplication::translate(
        "SkCommandLine",
        "Usage: skarnel [options] [sources...]\n"
        "Shows radar frames from files or a live stream, runs the detectors over them and\n"
        "logs their alarms.\n"
        "\n"
        "Sources:\n"
        "  FILE                 a data file (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, *.zip, *.raw)\n"
        "  'DIR/*.rrd0.gz'      every file a wildcard matches, sorted by name\n"
        "  DIR                  every data file in a folder\n"
        "  HOST:PORT            the radar's data stream (played at once)\n"
        "\n"
        "Options:\n"
        "  --n N                hold at most N frames in memory (default 1000)\n"
        "  --batch N            move on by N frames when memory is full\n"
        "  --process-params     take the detector settings from the first frame\n"
        "  --grab FILE.png      write the window to FILE.png once the first batch is\n"
        "                       analysed (at most 60 s), then quit; exit status 0 when written\n"
        "  --frame N            with --grab: show frame N\n"
        "  --view V             with --grab: frame, rangegates or velocities\n"
        "  --dock D             with --grab: show dock D (details, log, live, rgsum, params,\n"
        "                       computed); may be repeated\n"
        "  --show WHAT          with --grab: original, filtered, normalized, background or\n"
        "                       halfsym\n"
        "  --zmax V             with --grab: top of the colour scale (fixed levels)\n"
        "  --peak-shift S       with --grab: none, right or middle\n"
        "  --rangegate N        with --grab: put the marker on range gate N\n"
        "  --channel C          with --grab: put the marker on Doppler channel C (0-1023,\n"
        "                       the true channel, wherever a peak shift draws it)\n"
        "  --grab-dialog options  with --grab: write the options dialog, one tab below\n"
        "                       the other, instead of the window\n"
        "  --language L         English or Deutsch, as if chosen in the options\n"
        "  --version            print the version and quit\n"
        "  -h, --help           print this help and quit\n");
}
