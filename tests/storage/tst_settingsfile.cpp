// Proxy.dat: the bytes against fixtures written by tests/data/settings/make_fixtures.py straight from the file
// format, reading back, the private atomic write, and damaged files that must read as no settings.
#include "storage/SettingsFile.h"

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SettingsValues)

namespace {
QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(VELTRANE_TEST_DATA_DIR "/settings/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

SettingsValues values(int mode, const QString& host, int port, const QString& user, const QString& password, bool onTop,
                      bool hideTag)
{
    return SettingsValues{mode, host, port, user, password, onTop, hideTag};
}
} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private slots:
    void matchesFixture_data();
    void matchesFixture();
    void recordLayout();
    void writeIsPrivateAndReadsBack();
    void damagedFileReadsAsNoSettings_data();
    void damagedFileReadsAsNoSettings();
    void preferenceTexts_data();
    void preferenceTexts();
};

void TestSettingsFile::matchesFixture_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<SettingsValues>("settings");
    QTest::newRow("mode 1 with credentials")
        << "mode1-credentials.dat" << values(1, "proxy.example.net", 3128, "alice", "s3cret pass", true, false);
    QTest::newRow("mode 0 after unchecking") << "mode0-cleared.dat" << values(0, "", 0, "", "", false, true);
    QTest::newRow("non-ASCII values") << "mode1-latin1.dat"
                                      << values(1, "proxy.local", 8080, QStringLiteral("J\u00fcrgen"),
                                                QStringLiteral("p\u00e4ss\u00e9"), false, false);
}

void TestSettingsFile::matchesFixture()
{
    QFETCH(QString, file);
    QFETCH(SettingsValues, settings);
    const QByteArray bytes = fixture(file);
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(SettingsFile::encode(settings).toHex(), bytes.toHex());
    QVERIFY(SettingsFile::decode(bytes) == settings);
}

void TestSettingsFile::recordLayout()
{
    // Mode 1, a host, port 8080, no credentials: record 1 holds n = 4, the base64 length of "1" ("MQ==").
    const SettingsValues settings = values(1, "proxy", 8080, "", "", true, false);
    const QByteArray bytes = SettingsFile::encode(settings);
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_4_5);
    QList<qint32> lengths;
    for (int i = 0; i < SettingsFile::kRecordCount; ++i) {
        qint32 n = 0;
        QString coded;
        stream >> n >> coded;
        lengths.append(n);
    }
    QCOMPARE(stream.status(), QDataStream::Ok);
    QVERIFY(stream.atEnd());
    // "1", "proxy", "8080", "", "", "true", "false" in base64.
    QCOMPARE(lengths, (QList<qint32>{4, 8, 8, 0, 0, 8, 8}));
    QVERIFY(SettingsFile::decode(bytes) == settings);
}

void TestSettingsFile::writeIsPrivateAndReadsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Proxy.dat"));
    // An earlier, longer file is replaced as a whole.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(4096, 'x'));
    old.close();

    const SettingsValues settings = values(1, "proxy.example.net", 3128, "alice", "s3cret pass", true, false);
    QVERIFY(SettingsFile::write(path, settings));
    QCOMPARE(QFile(path).size(), fixture(QStringLiteral("mode1-credentials.dat")).size());
    QVERIFY(SettingsFile::read(path) == settings);
    // Private to the account: the key of the stored files derives from data other local users can read.
    QCOMPARE(QFile(path).permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());

    // A folder that cannot take the file: the write says so.
    QVERIFY(!SettingsFile::write(dir.filePath(QStringLiteral("missing/Proxy.dat")), settings));
    // A missing file reads as no settings.
    QVERIFY(SettingsFile::read(dir.filePath(QStringLiteral("none.dat"))) == SettingsValues{});
}

void TestSettingsFile::damagedFileReadsAsNoSettings_data()
{
    const QByteArray good = fixture(QStringLiteral("mode1-credentials.dat"));
    const SettingsValues none;
    // The fixture with its first record (mode) unreadable and the other six intact.
    const SettingsValues modeLost = values(0, "proxy.example.net", 3128, "alice", "s3cret pass", true, false);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<SettingsValues>("expected");
    QTest::newRow("empty file") << QByteArray() << none;
    QTest::newRow("cut inside the first length") << good.left(2) << none;
    QTest::newRow("cut inside the first coded text") << good.left(9) << none;
    QTest::newRow("cut in the middle") << good.left(good.size() / 2) << none;
    QTest::newRow("cut before the last byte") << good.chopped(1) << none;
    QTest::newRow("huge string length") << QByteArray::fromHex("00000004"
                                                               "7ffffffe"
                                                               "0031")
                                        << none;
    QTest::newRow("odd string length") << QByteArray::fromHex("00000004"
                                                              "00000003"
                                                              "003100")
                                       << none;
    QTest::newRow("random bytes") << QByteArray::fromHex("0000000400000002ffff0000000000000010deadbeef") << none;
    QTest::newRow("negative value length") << QByteArray::fromHex("ffffffff") + good.mid(4) << modeLost;
    QTest::newRow("length beyond the buffer") << QByteArray::fromHex("00100000") + good.mid(4) << modeLost;
    QTest::newRow("length longer than the coded text") << QByteArray::fromHex("00000040") + good.mid(4) << modeLost;
    QTest::newRow("trailing bytes after seven records")
        << good + QByteArray(100, '\x7f') << values(1, "proxy.example.net", 3128, "alice", "s3cret pass", true, false);
}

void TestSettingsFile::damagedFileReadsAsNoSettings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(SettingsValues, expected);
    const SettingsValues read = SettingsFile::decode(bytes);
    QCOMPARE(read.proxyMode, expected.proxyMode);
    QVERIFY(read == expected);
}

void TestSettingsFile::preferenceTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("value");
    QTest::newRow("true") << "true" << true;
    QTest::newRow("false") << "false" << false;
    QTest::newRow("FALSE") << "FALSE" << false;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("anything else") << "yes" << true;
}

void TestSettingsFile::preferenceTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, value);
    QCOMPARE(SettingsFile::textToBool(text), value);
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
