#include "services/resfiles.h"
#include "services/runtimeerror.h"
#include "services/sound.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QXmlStreamReader>

using namespace kalmix;
using kalmix::test::TestEnv;

class TestResources : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void soundFormats_data();
    void soundFormats();
    void playWavCutsOffThePreviousSound();
    void missingResourceIsReported();
    void saveResItemToDisk();
    void saveResItemToDiskReportsUnwritablePath();
    void tempDirAndTrimNull();
    void everyListedResourceOpens();
};

void TestResources::soundFormats_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<double>("seconds");
    const struct {
        int id, channels, rate;
        double seconds;
    } table[] = {{101, 1, 22050, 0.24}, {102, 1, 22050, 0.21}, {103, 1, 22050, 0.20},
                 {104, 1, 22050, 0.33}, {105, 1, 22050, 0.09}, {106, 1, 11025, 0.11},
                 {107, 2, 11025, 1.80}, {108, 2, 11025, 0.02}, {109, 1, 11025, 1.80},
                 {110, 1, 11025, 0.71}, {111, 1, 11025, 0.11}};
    for (const auto& r : table)
        QTest::addRow("%d", r.id) << r.id << r.channels << r.rate << r.seconds;
}

void TestResources::soundFormats() {
    QFETCH(int, id);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(double, seconds);
    const WavInfo wav = parseWav(loadResource(QStringLiteral("WAV"), id));
    QVERIFY(wav.ok);
    QCOMPARE(wav.bitsPerSample, 8);
    QCOMPARE(wav.channels, channels);
    QCOMPARE(wav.sampleRate, rate);
    const double length = double(wav.samples.size()) / (channels * rate);
    QVERIFY2(qAbs(length - seconds) <= seconds * 0.1, qPrintable(QString::number(length)));
    // Ends on silence, so cutting it off never clicks.
    QVERIFY(qAbs(static_cast<unsigned char>(wav.samples.back()) - 128) <= 3);
}

void TestResources::playWavCutsOffThePreviousSound() {
    TestEnv env;
    PlayWAV(110);
    PlayWAV(105);
    QCOMPARE(env.sound.played.size(), 2);
    QCOMPARE(env.sound.played[1], loadResource(QStringLiteral("WAV"), 105));
    QCOMPARE(WavDaten, env.sound.played[1]);
    // The player is stopped before the bytes of the previous sound are let go.
    QCOMPARE(env.sound.stops, 2);
    QVERIFY(env.errors.isEmpty());
}

void TestResources::missingResourceIsReported() {
    TestEnv env;
    PlayWAV(105);
    const QByteArray before = WavDaten;
    PlayWAV(199);
    QCOMPARE(env.errors.size(), 1);
    QCOMPARE(env.errors[0].module, u"Allgemein"_qs);
    QCOMPARE(env.errors[0].procedure, u"PlayWAV"_qs);
    QCOMPARE(env.errors[0].number, ErrNr::ResourceNotFound);
    QCOMPARE(env.errors[0].line, 1);
    QCOMPARE(WavDaten, before); // left before anything changed
    QCOMPARE(env.sound.played.size(), 1);

    const QString path = env.path(QStringLiteral("x.lng"));
    QCOMPARE(SaveResItemToDisk(1001, QStringLiteral("CUSTOM"), path), 0);
    QCOMPARE(env.errors.size(), 2);
    QCOMPARE(env.errors[1].module, u"ModResFiles"_qs);
    QCOMPARE(env.errors[1].procedure, u"SaveResItemToDisk"_qs);
    QVERIFY(!QFile::exists(path));
}

void TestResources::saveResItemToDisk() {
    TestEnv env;
    const QString path = env.path(QStringLiteral("copy.lng"));
    env.writeFile(QStringLiteral("copy.lng"), QByteArray(40000, 'x')); // longer than the resource
    QCOMPARE(SaveResItemToDisk(1000, QStringLiteral("CUSTOM"), path), 0);
    QCOMPARE(SaveResItemToDisk(1000, QStringLiteral("CUSTOM"), path), 0);
    QCOMPARE(env.readFile(QStringLiteral("copy.lng")),
             loadResource(QStringLiteral("CUSTOM"), 1000));
    QVERIFY(env.errors.isEmpty());
}

void TestResources::saveResItemToDiskReportsUnwritablePath() {
    TestEnv env;
    QDir(env.dir()).mkdir(QStringLiteral("adir"));
    env.errorAnswer = 1; // ignore
    SaveResItemToDisk(1000, QStringLiteral("CUSTOM"), env.path(QStringLiteral("adir")));
    // The file cannot be opened, and so nothing can be written to it.
    QCOMPARE(env.errors.size(), 2);
    QCOMPARE(env.errors[0].number, ErrNr::PathFileAccess);
    QCOMPARE(env.errors[0].line, 2);
    QCOMPARE(env.errors[1].number, ErrNr::BadFileNameOrNumber);
    QCOMPARE(env.errors[1].line, 3);
    QVERIFY(QFileInfo(env.path(QStringLiteral("adir"))).isDir());
}

void TestResources::tempDirAndTrimNull() {
    TestEnv env;
    const QString temp = GetTempDir();
    QVERIFY(temp.endsWith(u'/'));
    QVERIFY(!temp.endsWith(QStringLiteral("//")));
    QVERIFY(QFileInfo(temp).isDir());
    QCOMPARE(TrimNull(u"/tmp/"_qs + QChar(0) + u"junk"_qs), u"/tmp/"_qs);
    QCOMPARE(TrimNull(u"/tmp/"_qs), u"/tmp/"_qs);
    QCOMPARE(TrimNull(QString()), QString());
    // TMPDIR naming no directory leaves the usual one, never the root of the disk.
    const QByteArray old = qgetenv("TMPDIR");
    qputenv("TMPDIR", env.path(QStringLiteral("missing")).toLocal8Bit());
    const QString fallback = GetTempDir();
    qputenv("TMPDIR", old);
    QCOMPARE(fallback, u"/tmp/"_qs);
}

void TestResources::everyListedResourceOpens() {
    // Each file a resource list names must be compiled in and reachable by its name.
    int checked = 0;
    for (const char* list : {"resources/kalmix.qrc", "resources/help/help.qrc"}) {
        QFile qrc(QStringLiteral(KALMIX_SOURCE_DIR "/") + QLatin1String(list));
        QVERIFY(qrc.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(qrc.readAll());
        QString prefix;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("qresource")) {
                prefix = xml.attributes().value(QLatin1String("prefix")).toString();
            } else if (xml.name() == QLatin1String("file")) {
                const QString alias = xml.attributes().value(QLatin1String("alias")).toString();
                const QString file = xml.readElementText();
                QString path = prefix.endsWith(u'/') ? prefix : prefix + u'/';
                path = u':' + path + (alias.isEmpty() ? file : alias);
                QFile f(path);
                QVERIFY2(f.open(QIODevice::ReadOnly) && f.size() > 0, qPrintable(path));
                ++checked;
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    }
    QVERIFY(checked > 100);
    // The symbol pictures come in both looks for every symbol.
    for (int k = 0; k < 25; ++k) {
        for (char look : {'a', 'b'}) {
            const QString path = QStringLiteral(":/pictures/symbols/sym%1%2.svg")
                                     .arg(k, 2, 10, QLatin1Char('0'))
                                     .arg(QLatin1Char(look));
            QVERIFY2(QFile::exists(path), qPrintable(path));
        }
    }
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
