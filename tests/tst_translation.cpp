// The German catalogue resources/de_De.ts against the viewer's sources: lupdate, run over the
// window, its dialogs and its plots, must find no text the catalogue leaves untranslated.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context;
    QString source;
    QString translation;
    QString type;
};

QVector<Message> messages(const QString &path)
{
    QVector<Message> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            m = Message{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            out << m;
        }
    }
    return out;
}

} // namespace

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void everyViewerTextIsTranslated();
};

void TestTranslation::everyViewerTextIsTranslated()
{
    const QString source = QString::fromLocal8Bit(qgetenv("SK_SOURCE_DIR"));
    QVERIFY2(!source.isEmpty(), "SK_SOURCE_DIR is not set");
    QTemporaryDir dir;
    const QString ts = dir.filePath(QStringLiteral("de_De.ts"));
    QVERIFY(QFile::copy(source + QStringLiteral("/resources/de_De.ts"), ts));
    QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);

    QProcess lupdate;
    lupdate.setWorkingDirectory(source);
    lupdate.start(QStringLiteral(SK_LUPDATE),
                  {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral("app"), QStringLiteral("dialogs"), QStringLiteral("plots"),
                   QStringLiteral("-ts"), ts});
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());

    const QVector<Message> all = messages(ts);
    QVERIFY(all.size() > 300);
    QStringList open;
    for (const Message &m : all) {
        // The command-line help is printed before any window or translator exists.
        if (m.context == QLatin1String("SkCommandLine"))
            continue;
        if (m.type == QLatin1String("unfinished") || m.translation.isEmpty())
            open << m.context + QStringLiteral(": ") + m.source.left(80);
    }
    QVERIFY2(open.isEmpty(), qPrintable(QStringLiteral("untranslated in resources/de_De.ts:\n")
                                        + open.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestTranslation)
#include "tst_translation.moc"
