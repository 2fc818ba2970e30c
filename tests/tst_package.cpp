// The system as an administrator installs it: the Debian package built from this build,
// unpacked into a folder, and everything in it used from there: the programs, their man
// pages, the completion, the desktop entries and metainfo, the station service's unit,
// user, folders and settings file, and a station that records a stream and stops on SIGTERM.

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

// Runs `program` to its end; `environment` adds NAME=VALUE entries to the test's own.
Result run(const QString &program, const QStringList &args, const QString &input = {},
           const QStringList &environment = {}, int ms = 300000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(program, args);
    process.write(input.toUtf8());
    process.closeWriteChannel();
    Result result;
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("%1 did not finish in %2 ms").arg(program).arg(ms);
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

bool onPath(const QString &program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

// Waits until `process` has printed `text` on standard output; everything read is kept.
bool waitForOutput(QProcess &process, const QString &text, QString *seen, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!seen->contains(text)) {
        if (timer.elapsed() > ms || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
        *seen += QString::fromUtf8(process.readAllStandardOutput());
    }
    return true;
}

QStringList sorted(QStringList words)
{
    words.removeAll(QString());
    words.sort();
    return words;
}

} // namespace

class TstPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lintianFindsNoErrors();
    void programsAnswerFromThePackage_data();
    void programsAnswerFromThePackage();
    void manPagesRender_data();
    void manPagesRender();
    void rrdcliManPageDescribesEveryCommandAndOption();
    void completionOffersEveryCommandAndOption();
    void completionOffersValues_data();
    void completionOffersValues();
    void desktopEntriesLaunchTheirPrograms_data();
    void desktopEntriesLaunchTheirPrograms();
    void serviceUnitVerifies();
    void stationUserAndFoldersAreCreated();
    void settingsBecomeTheWatchCommand_data();
    void settingsBecomeTheWatchCommand();
    void badSettingsAreRefusedWithTheirCause_data();
    void badSettingsAreRefusedWithTheirCause();
    void stationRecordsAndStopsCleanlyOnSigterm();

private:
    QString inRoot(const QString &path) const { return m_dir.filePath(QStringLiteral("root") + path); }
    QString rrdcli() const { return inRoot(QStringLiteral("/usr/bin/rrdcli")); }
    QString wrapper() const
    {
        return inRoot(QStringLiteral("/usr/libexec/skarnel/rrdcli-watch-service"));
    }
    // The options `rrdcli COMMAND --help` lists ("-o", "--output", ...).
    QStringList optionsOf(const QString &command) const;
    QStringList complete(const QStringList &lines) const;
    QString writeSettings(const QString &name, const QString &text) const;

    QTemporaryDir m_dir;
    QString m_deb;
    QStringList m_commands;
};

void TstPackage::initTestCase()
{
    if (!SK_PACKAGING_COMPLETE)
        QSKIP("no package from this build: it is a sanitizer build, or help2man or rsvg-convert "
              "was missing when it was configured ('make test' installs them)");
    for (const char *tool : {"dpkg-deb", "dpkg-shlibdeps", "lintian", "file"}) {
        if (!onPath(QLatin1String(tool)))
            QSKIP(qPrintable(QStringLiteral("%1 is missing ('make test' installs it)").arg(tool)));
    }
    QVERIFY(m_dir.isValid());
    const QString packages = m_dir.filePath(QStringLiteral("packages"));
    const Result cpack = run(QStringLiteral("cpack"),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                              QStringLiteral(SK_BUILD_DIR "/CPackConfig.cmake"),
                              QStringLiteral("-B"), packages});
    QVERIFY2(cpack.status == 0, qPrintable(cpack.out + cpack.err));
    const QStringList debs = QDir(packages).entryList({QStringLiteral("skarnel_*.deb")});
    QCOMPARE(debs.size(), 1);
    m_deb = QDir(packages).filePath(debs.constFirst());
    const Result unpack = run(QStringLiteral("dpkg-deb"),
                              {QStringLiteral("-x"), m_deb, m_dir.filePath(QStringLiteral("root"))});
    QVERIFY2(unpack.status == 0, qPrintable(unpack.err));

    const Result help = run(rrdcli(), {QStringLiteral("help")});
    QCOMPARE(help.status, 0);
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "),
                                                QRegularExpression::MultilineOption);
    for (auto it = commandLine.globalMatch(help.out); it.hasNext();)
        m_commands << it.next().captured(1);
    QVERIFY(m_commands.contains(QStringLiteral("watch")));
}

QStringList TstPackage::optionsOf(const QString &command) const
{
    if (command == QLatin1String("help"))
        return {};
    const Result help = run(rrdcli(), {command, QStringLiteral("--help")});
    static const QRegularExpression optionLine(QStringLiteral("^  (-\\S.*?)(?:  |$)"),
                                               QRegularExpression::MultilineOption);
    static const QRegularExpression name(QStringLiteral("--?[a-z][a-z0-9-]*"));
    QStringList names;
    for (auto lines = optionLine.globalMatch(help.out); lines.hasNext();) {
        const QString line = lines.next().captured(1);
        for (auto it = name.globalMatch(line); it.hasNext();)
            names << it.next().captured();
    }
    return names;
}

void TstPackage::lintianFindsNoErrors()
{
    const Result lintian = run(QStringLiteral("lintian"), {QStringLiteral("--fail-on"),
                                                           QStringLiteral("error"), m_deb});
    QVERIFY2(lintian.status == 0, qPrintable(lintian.out + lintian.err));
}

void TstPackage::programsAnswerFromThePackage_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("rrdcli") << QStringLiteral("rrdcli");
    QTest::newRow("skarnel") << QStringLiteral("skarnel");
    QTest::newRow("converter") << QStringLiteral("converter");
}

void TstPackage::programsAnswerFromThePackage()
{
    QFETCH(QString, program);
    const Result version = run(inRoot(QStringLiteral("/usr/bin/") + program), {QStringLiteral("--version")});
    QVERIFY2(version.status == 0, qPrintable(version.err));
    QCOMPARE(version.out.trimmed(), program + QStringLiteral(" " SK_TEST_PROJECT_VERSION));
}

void TstPackage::manPagesRender_data()
{
    programsAnswerFromThePackage_data();
}

// man(1) renders each page without a complaint of groff, with its name and synopsis.
void TstPackage::manPagesRender()
{
    QFETCH(QString, program);
    const Result man = run(QStringLiteral("man"),
                           {QStringLiteral("-l"),
                            inRoot(QStringLiteral("/usr/share/man/man1/%1.1.gz").arg(program))},
                           {}, {QStringLiteral("LC_ALL=C")});
    QVERIFY2(man.status == 0, qPrintable(man.err));
    QCOMPARE(man.err, QString());
    QVERIFY2(man.out.contains(QStringLiteral("NAME\n       ") + program + QStringLiteral(" - ")),
             qPrintable(man.out.left(400)));
    QVERIFY(man.out.contains(QStringLiteral("DESCRIPTION")));
}

void TstPackage::rrdcliManPageDescribesEveryCommandAndOption()
{
    const Result man = run(QStringLiteral("man"),
                           {QStringLiteral("-l"), inRoot(QStringLiteral("/usr/share/man/man1/rrdcli.1.gz"))},
                           {}, {QStringLiteral("LC_ALL=C"), QStringLiteral("MANWIDTH=200")});
    QCOMPARE(man.status, 0);
    const QString commands = QLatin1Char('\n') + man.out.section(QStringLiteral("\nCOMMANDS\n"), 1)
                                 .section(QStringLiteral("\nRADAR STATION SERVICE\n"), 0, 0);
    for (const QString &command : qAsConst(m_commands)) {
        const QString heading = QStringLiteral("\n   rrdcli ") + command;
        const QString section = commands.section(heading, 1).section(QStringLiteral("\n   rrdcli "), 0, 0);
        QVERIFY2(!section.isEmpty(), qPrintable(heading));
        for (const QString &option : optionsOf(command))
            QVERIFY2(section.contains(option), qPrintable(heading + QLatin1Char(' ') + option));
    }
}

// Each line is completed as bash would after TAB TAB: COMP_WORDS and COMP_CWORD set, the
// completion function called, its COMPREPLY printed on a line of its own.
QStringList TstPackage::complete(const QStringList &lines) const
{
    const QString script = QStringLiteral(R"(
source /usr/share/bash-completion/bash_completion
source "$1"
cd "$2"
while IFS= read -r line; do
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _rrdcli rrdcli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    echo "${COMPREPLY[*]}"
done
)");
    const QString files = m_dir.filePath(QStringLiteral("files"));
    QDir().mkpath(files + QStringLiteral("/sub"));
    for (const char *name : {"a.rrd0.gz", "p.ini"}) {
        QFile file(files + QLatin1Char('/') + QLatin1String(name));
        file.open(QIODevice::WriteOnly);
    }
    const Result bash = run(QStringLiteral("bash"),
                            {QStringLiteral("-c"), script, QStringLiteral("bash"),
                             inRoot(QStringLiteral("/usr/share/bash-completion/completions/rrdcli")),
                             files},
                            lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    if (bash.status != 0 || !bash.err.isEmpty())
        qWarning("%s", qPrintable(bash.err));
    return bash.out.split(QLatin1Char('\n')).mid(0, lines.size());
}

void TstPackage::completionOffersEveryCommandAndOption()
{
    if (!QFile::exists(QStringLiteral("/usr/share/bash-completion/bash_completion")))
        QSKIP("bash-completion is missing ('make test' installs it)");
    QStringList lines{QStringLiteral("rrdcli "), QStringLiteral("rrdcli help ")};
    for (const QString &command : qAsConst(m_commands))
        lines << QStringLiteral("rrdcli %1 -").arg(command);
    const QStringList replies = complete(lines);
    QCOMPARE(replies.size(), lines.size());
    QCOMPARE(sorted(replies.at(0).split(QLatin1Char(' '))),
             sorted(m_commands + QStringList{QStringLiteral("--help"), QStringLiteral("--version")}));
    QCOMPARE(sorted(replies.at(1).split(QLatin1Char(' '))), sorted(m_commands));
    for (int i = 0; i < m_commands.size(); ++i) {
        const QStringList offered = replies.at(i + 2).split(QLatin1Char(' '));
        for (const QString &option : optionsOf(m_commands.at(i)))
            QVERIFY2(offered.contains(option), qPrintable(m_commands.at(i) + QLatin1Char(' ') + option));
    }
}

void TstPackage::completionOffersValues_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("offered");
    QTest::newRow("scenarios") << "rrdcli simulate --scenario " << "avalanche mixed quiet rain waterlevel";
    QTest::newRow("frame formats") << "rrdcli serve --format " << "raw rrd0 stamped";
    QTest::newRow("export types") << "rrdcli export --type n" << "normalized";
    QTest::newRow("export formats") << "rrdcli export --format " << "csv npz";
    QTest::newRow("a command") << "rrdcli wa" << "watch";
    QTest::newRow("help's command") << "rrdcli help ex" << "export";
    QTest::newRow("parameter files") << "rrdcli analyze --params " << "p.ini sub";
    QTest::newRow("record folder") << "rrdcli watch --record " << "sub";
    QTest::newRow("sources") << "rrdcli info " << "a.rrd0.gz p.ini sub";
    QTest::newRow("output file") << "rrdcli simulate -o " << "a.rrd0.gz p.ini sub";
    QTest::newRow("a number") << "rrdcli watch --window " << "";
    QTest::newRow("no arguments") << "rrdcli cmdport " << "--help --host --port -h";
}

void TstPackage::completionOffersValues()
{
    if (!QFile::exists(QStringLiteral("/usr/share/bash-completion/bash_completion")))
        QSKIP("bash-completion is missing ('make test' installs it)");
    QFETCH(QString, line);
    QFETCH(QString, offered);
    QCOMPARE(sorted(complete({line}).value(0).split(QLatin1Char(' '))),
             sorted(offered.split(QLatin1Char(' '))));
}

void TstPackage::desktopEntriesLaunchTheirPrograms_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("viewer") << QStringLiteral("org.skarnel.Skarnel");
    QTest::newRow("converter") << QStringLiteral("org.skarnel.Converter");
}

// A valid entry with valid metainfo and icons in every size, whose Exec line starts the
// packaged program: asked for --help, it answers.
void TstPackage::desktopEntriesLaunchTheirPrograms()
{
    QFETCH(QString, id);
    if (!onPath(QStringLiteral("desktop-file-validate")) || !onPath(QStringLiteral("appstreamcli")))
        QSKIP("desktop-file-utils or appstream is missing ('make test' installs them)");
    const QString desktop = inRoot(QStringLiteral("/usr/share/applications/%1.desktop").arg(id));
    const Result validate = run(QStringLiteral("desktop-file-validate"), {desktop});
    QVERIFY2(validate.status == 0 && validate.out.isEmpty(), qPrintable(validate.out + validate.err));
    const Result metainfo = run(QStringLiteral("appstreamcli"),
                                {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"),
                                 inRoot(QStringLiteral("/usr/share/metainfo/%1.metainfo.xml").arg(id))});
    QVERIFY2(metainfo.status == 0, qPrintable(metainfo.out + metainfo.err));

    QFile file(desktop);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString entry = QString::fromUtf8(file.readAll());
    const QString icon = entry.section(QStringLiteral("\nIcon="), 1).section(QLatin1Char('\n'), 0, 0);
    QCOMPARE(icon, id);
    for (const char *size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        const QString png = inRoot(QStringLiteral("/usr/share/icons/hicolor/%1/apps/%2.png")
                                       .arg(QLatin1String(size), icon));
        QVERIFY2(QFileInfo(png).size() > 100, qPrintable(png));
    }
    QVERIFY(QFile::exists(inRoot(QStringLiteral("/usr/share/icons/hicolor/scalable/apps/%1.svg").arg(icon))));

    QStringList exec;
    const QString execLine = entry.section(QStringLiteral("\nExec="), 1).section(QLatin1Char('\n'), 0, 0);
    for (const QString &word : execLine.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!word.startsWith(QLatin1Char('%')))
            exec << word;
    }
    const Result help = run(inRoot(QStringLiteral("/usr/bin/") + exec.takeFirst()),
                            exec + QStringList{QStringLiteral("--help")});
    QVERIFY2(help.status == 0, qPrintable(help.err));
    QVERIFY2(help.out.startsWith(QStringLiteral("Usage: ")), qPrintable(help.out));
}

// systemd checks the packaged unit as it would load it: among the system's own units, with
// the helper it starts at the path the unit names. Warnings count as failures.
void TstPackage::serviceUnitVerifies()
{
    if (!onPath(QStringLiteral("systemd-analyze")))
        QSKIP("systemd-analyze is missing ('make test' installs systemd)");
    const QString units = inRoot(QStringLiteral("/usr/lib/systemd/system"));
    const Result copy = run(QStringLiteral("cp"), {QStringLiteral("-an"),
                                                   QStringLiteral("/usr/lib/systemd/system/."), units});
    QVERIFY2(copy.status == 0, qPrintable(copy.err));
    const Result verify = run(QStringLiteral("systemd-analyze"),
                              {QStringLiteral("verify"), QStringLiteral("--man=no"),
                               QStringLiteral("--root=") + inRoot(QString()),
                               QStringLiteral("rrdcli-watch@slope-north.service")});
    QVERIFY2(verify.status == 0, qPrintable(verify.err));
    QCOMPARE(verify.out + verify.err, QString());
}

// The package's sysusers.d and tmpfiles.d files, applied to an empty system folder, make
// the stations' user (no login) and the folder of their settings.
void TstPackage::stationUserAndFoldersAreCreated()
{
    if (!onPath(QStringLiteral("systemd-sysusers")) || !onPath(QStringLiteral("systemd-tmpfiles")))
        QSKIP("systemd-sysusers or systemd-tmpfiles is missing ('make test' installs systemd)");
    const QString system = m_dir.filePath(QStringLiteral("system"));
    QVERIFY(QDir().mkpath(system + QStringLiteral("/etc")));
    const Result users = run(QStringLiteral("systemd-sysusers"),
                             {QStringLiteral("--root=") + system,
                              inRoot(QStringLiteral("/usr/lib/sysusers.d/skarnel.conf"))});
    QVERIFY2(users.status == 0, qPrintable(users.err));
    QFile passwd(system + QStringLiteral("/etc/passwd"));
    QVERIFY(passwd.open(QIODevice::ReadOnly));
    const QString user = QString::fromUtf8(passwd.readAll()).section(QStringLiteral("skarnel:"), 1)
                             .section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(user.endsWith(QStringLiteral(":/var/lib/skarnel:/usr/sbin/nologin")), qPrintable(user));

    const Result folders = run(QStringLiteral("systemd-tmpfiles"),
                               {QStringLiteral("--root=") + system, QStringLiteral("--create"),
                                inRoot(QStringLiteral("/usr/lib/tmpfiles.d/skarnel.conf"))});
    QVERIFY2(folders.status == 0, qPrintable(folders.err));
    QVERIFY(QFileInfo(system + QStringLiteral("/etc/skarnel/watch")).isDir());
}

QString TstPackage::writeSettings(const QString &name, const QString &text) const
{
    const QString path = m_dir.filePath(name + QStringLiteral(".conf"));
    QFile file(path);
    if (!text.isNull() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
    return path;
}

void TstPackage::settingsBecomeTheWatchCommand_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("command");
    QTest::newRow("a parameter file")
        << "stream = 127.0.0.1:1023\nparams = /etc/skarnel/watch/slope-north.ini\n"
        << "watch --record /var/lib/skarnel/slope-north --params "
           "/etc/skarnel/watch/slope-north.ini 127.0.0.1:1023";
    QTest::newRow("the radar's settings, comments, blanks, a folder with a blank")
        << "# the north slope\n\n   stream=192.0.2.10:1023   \nprocess-params = yes\n"
           "record = /srv/radar/north slope\nalarm-script = /usr/local/lib/skarnel/alarm.sh\n"
           "window = 300\n"
        << "watch --record '/srv/radar/north slope' --process-params --alarm-script "
           "/usr/local/lib/skarnel/alarm.sh --window 300 192.0.2.10:1023";
    QTest::newRow("retention and metrics")
        << "stream = radar:1023\nparams = /p.ini\nmax-files = 5000\nmin-free = 10\n"
           "import-old = yes\nbatch = 2\nmetrics = 127.0.0.1:9641\nprocess-params = no\n"
        << "watch --record /var/lib/skarnel/slope-north --params /p.ini --import-old --batch 2 "
           "--max-files 5000 --min-free 10 --metrics 127.0.0.1:9641 radar:1023";
}

void TstPackage::settingsBecomeTheWatchCommand()
{
    QFETCH(QString, settings);
    QFETCH(QString, command);
    const Result dry = run(wrapper(), {QStringLiteral("--dry-run"),
                                       writeSettings(QStringLiteral("slope-north"), settings)});
    QVERIFY2(dry.status == 0, qPrintable(dry.err));
    QCOMPARE(dry.out.trimmed(), rrdcli() + QLatin1Char(' ') + command);
}

void TstPackage::badSettingsAreRefusedWithTheirCause_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("cause");
    QTest::newRow("no file") << QString() << "cannot read the station's settings";
    QTest::newRow("no stream") << "params = /p.ini\n" << "'stream' (the radar's host:port) is missing";
    QTest::newRow("a misspelt key") << "stream = h:1\nparams = /p.ini\nrecrod = /srv\n"
                                    << "line 3: unknown key 'recrod'";
    QTest::newRow("not a setting") << "stream h:1\n" << "line 1: expected 'key = value'";
    QTest::newRow("twice") << "stream = h:1\nstream = h:2\n" << "line 2: 'stream' is set twice";
    QTest::newRow("an empty value") << "stream = h:1\nwindow =\n" << "line 2: 'window' needs a value";
    QTest::newRow("no detector settings") << "stream = h:1\n" << "no detector settings";
    QTest::newRow("two detector settings") << "stream = h:1\nparams = /p.ini\nprocess-params = yes\n"
                                           << "either 'params' or 'process-params = yes'";
    QTest::newRow("a switch that is not yes or no") << "stream = h:1\nprocess-params = true\n"
                                                    << "'process-params' takes yes or no";
    QTest::newRow("a record folder it cannot write")
        << "stream = 127.0.0.1:1\nprocess-params = yes\nrecord = /proc/skarnel/rec\n"
        << "[Service] ReadWritePaths=/proc/skarnel/rec";
}

// Exit status 2 (which the unit does not restart) and a message naming the file and cause.
void TstPackage::badSettingsAreRefusedWithTheirCause()
{
    QFETCH(QString, settings);
    QFETCH(QString, cause);
    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString path = writeSettings(QStringLiteral("bad-") + name, settings);
    const Result result = run(wrapper(), {path}, {}, {}, 30000);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith(QStringLiteral("rrdcli-watch-service: %1: ").arg(path)),
             qPrintable(result.err));
    QVERIFY2(result.err.contains(cause), qPrintable(result.err));
}

// The station as the unit starts it: the helper hands over to watch (same process), which
// records the stream and logs the alarm; SIGTERM ends it with status 0 and complete files.
void TstPackage::stationRecordsAndStopsCleanlyOnSigterm()
{
    QProcess radar;
    radar.start(rrdcli(), {QStringLiteral("serve"), QStringLiteral("--port"), QStringLiteral("0"),
                           QStringLiteral("--scenario"), QStringLiteral("avalanche"),
                           QStringLiteral("--process-params"), QStringLiteral("--loop"),
                           QStringLiteral("--rate"), QStringLiteral("50")});
    QString served;
    QVERIFY(waitForOutput(radar, QStringLiteral(" at "), &served, 30000));
    const QString address = served.section(QStringLiteral("serving on "), 1).section(QLatin1Char(' '), 0, 0);

    const QString record = m_dir.filePath(QStringLiteral("station"));
    QProcess station;
    station.start(wrapper(), {writeSettings(QStringLiteral("station"),
                                            QStringLiteral("stream = %1\nprocess-params = yes\n"
                                                           "record = %2\nwindow = 300\n")
                                                .arg(address, record))});
    QString log;
    const bool alarm = waitForOutput(station, QStringLiteral("ALARM ON"), &log, 120000);
    ::kill(pid_t(station.processId()), SIGTERM);
    const bool stopped = station.waitForFinished(60000);
    ::kill(pid_t(radar.processId()), SIGTERM);
    radar.waitForFinished(10000);
    const QString errors = QString::fromUtf8(station.readAllStandardError());
    QVERIFY2(alarm, qPrintable(log + errors));
    QVERIFY2(stopped, qPrintable(errors));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QVERIFY2(station.exitCode() == 0, qPrintable(errors));

    QStringList minuteFiles;
    for (QDirIterator it(record, {QStringLiteral("*.rrd0.gz")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        minuteFiles << it.next();
    QVERIFY2(!minuteFiles.isEmpty(), qPrintable(errors));
    const Result info = run(rrdcli(), QStringList{QStringLiteral("info")} + minuteFiles);
    QVERIFY2(info.status == 0, qPrintable(info.out + info.err));
}

QTEST_GUILESS_MAIN(TstPackage)
#include "tst_package.moc"
