#include "identity/SmbiosTestTools.h"
#include "smbprobe/SmbiosSearch.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace SmbiosTestTools;

// The probe library as the program uses it: loaded with dlopen, its two exports called, the raw table read from
// the real sysfs path inside a private mount namespace; and its search on hand-made buffers.
class TestSmbprobe : public QObject {
    Q_OBJECT

private slots:
    void exportsExactlyTwo();
    void tables_data();
    void tables();
    void withoutRawTable();
    void searchLimits();

private:
    QTemporaryDir dir_;
};

namespace {

const char separator = '\xA7';

QByteArray type1(const QByteArray& refs, const QByteArray& strings)
{
    QByteArray s(0x1B, '\0');
    s[0] = 1;
    s[1] = 0x1B;
    s.replace(4, refs.size(), refs);
    return s + strings;
}

QByteArray search(const QByteArray& table, bool* found = nullptr)
{
    std::vector<std::uint8_t> buffer(SmbiosSearch::bufferSize, 0);
    std::copy(table.begin(), table.begin() + qMin<qsizetype>(table.size(), qsizetype(buffer.size())), buffer.begin());
    char result[SmbiosSearch::resultSize];
    const bool ok = SmbiosSearch::composeSystemInformation(buffer.data(), result);
    if (found) {
        *found = ok;
    }
    return QByteArray(result);
}

} // namespace

void TestSmbprobe::exportsExactlyTwo()
{
    QProcess nm;
    nm.start(QStringLiteral("nm"),
             {QStringLiteral("-D"), QStringLiteral("--defined-only"), QStringLiteral(VELTRANE_SMBPROBE_LIBRARY)});
    QVERIFY(nm.waitForFinished(30000));
    QStringList names;
    const QList<QByteArray> lines = nm.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 3 && parts[1] == "T") {
            names << QString::fromLatin1(parts[2]);
        }
    }
    names.sort();
    QCOMPARE(names, QStringList({QStringLiteral("init_raw_smbios_data"), QStringLiteral("show_system_information")}));
}

void TestSmbprobe::tables_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("message");

    for (const QString& name : realTableNames()) {
        bool ok = false;
        const Type1 expected = dmidecodeType1(fixturePath(name + QStringLiteral(".bin")), ok);
        QTest::newRow(qPrintable(name)) << readFixture(name + QStringLiteral(".bin.table")) << true
                                        << expected.manufacturer + separator + expected.serialNumber << QByteArray();
    }
    const QByteArray t430 = readFixture(QStringLiteral("lenovo-thinkpad-t430.bin.table"));
    const QByteArray overflow("Return global_buffer would overflow.  Abort initialization of raw SMBIOS data.\n");
    const QByteArray noType1(" An error occurred retrieving this data from the bios.  No information available.\n\n");
    QTest::newRow("63999 bytes") << t430 + QByteArray(63999 - t430.size(), '\0') << true
                                 << QByteArray("LENOVO\xA7PBKGNED") << QByteArray();
    QTest::newRow("64000 bytes") << t430 + QByteArray(64000 - t430.size(), '\0') << false << QByteArray() << overflow;
    const QByteArray strings("LENOVO\0002347A4\0ThinkPad\0PBKGNED\0\0", 33);
    QTest::newRow("manufacturer index 0")
        << type1(QByteArray("\x00\x02\x03\x04", 4), strings) << true << QByteArray("\xA7PBKGNED") << QByteArray();
    QTest::newRow("empty string set") << type1(QByteArray("\x01\x02\x03\x04", 4), QByteArray(2, '\0')) << true
                                      << QByteArray("\xA7") << QByteArray();
    QTest::newRow("type 0 before type 1")
        << QByteArray("\x00\x12\x00\x00\x01\x02\x00\xF0\x03\x07\x80\x00\x00\x00\x00\x00\x00\x00Vendor\0V1\0\0", 29) +
               type1(QByteArray("\x01\x02\x03\x04", 4), strings)
        << true << QByteArray("LENOVO\xA7PBKGNED") << QByteArray();
    QTest::newRow("no type 1") << QByteArray("\x00\x12\x00\x00\x01\x02\x00\xF0\x03\x07\x80\x00\x00\x00\x00\x00\x00"
                                             "\x00Vendor\0V1\0\0",
                                             29)
                               << true << QByteArray("\xA7") << noType1;
    QTest::newRow("empty table") << QByteArray() << true << QByteArray("\xA7") << noType1;
}

void TestSmbprobe::tables()
{
    QFETCH(QByteArray, table);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, message);

    QFile file(dir_.filePath(QStringLiteral("DMI")));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(table);
    file.close();
    bool ok = false;
    QString skip;
    const QByteArray output =
        runInNamespace(file.fileName(), QString(), QStringLiteral(VELTRANE_SMBIOS_RUNNER),
                       {QStringLiteral("library"), QStringLiteral(VELTRANE_SMBPROBE_LIBRARY)}, ok, skip);
    if (!skip.isEmpty()) {
        QSKIP(qPrintable(skip));
    }
    QVERIFY2(ok, output.constData());
    QVERIFY2(output.contains(accepted ? "init=1\n" : "init=0\n"), output.constData());
    if (message.isEmpty()) {
        QVERIFY2(!output.contains("overflow") && !output.contains("error"), output.constData());
    } else {
        QVERIFY2(output.contains(message), output.constData());
    }
    if (accepted) {
        QCOMPARE(runnerField(output, "text"), text);
        QCOMPARE(runnerField(output, "again"), text);
    }
}

void TestSmbprobe::withoutRawTable()
{
    // No raw table at all (as on this machine): the initialisation fails and the program moves on.
    bool ok = false;
    QString skip;
    const QByteArray output =
        runInNamespace(QString(), QString(), QStringLiteral(VELTRANE_SMBIOS_RUNNER),
                       {QStringLiteral("library"), QStringLiteral(VELTRANE_SMBPROBE_LIBRARY)}, ok, skip);
    if (!skip.isEmpty()) {
        QSKIP(qPrintable(skip));
    }
    QVERIFY2(ok, output.constData());
    QCOMPARE(output, QByteArray("init=0\n"));
}

void TestSmbprobe::searchLimits()
{
    bool found = false;
    // A string set without its double NUL up to the end of the buffer: no structure, no read past it.
    QByteArray unterminated = type1(QByteArray("\x01\x00\x00\x02", 4), QByteArray());
    unterminated.append(QByteArray(int(SmbiosSearch::bufferSize) - unterminated.size(), 'x'));
    QCOMPARE(search(unterminated, &found), QByteArray("\xA7"));
    QVERIFY(!found);

    // A structure whose set ends in the buffer's last two bytes is beyond the pairs considered.
    QByteArray atEnd(int(SmbiosSearch::bufferSize) - 2, '\x7F');
    atEnd.append(QByteArray(2, '\0'));
    atEnd[0] = 1;
    atEnd[1] = 0x1B;
    QCOMPARE(search(atEnd, &found), QByteArray("\xA7"));
    QVERIFY(!found);

    // More than 25 strings: the 26th is not collected. Longer than 999 bytes: cut there.
    QByteArray many;
    for (int i = 1; i <= 26; ++i) {
        many += QByteArray::number(i) + '\0';
    }
    many += '\0';
    QCOMPARE(search(type1(QByteArray("\x19\x00\x00\x1A", 4), many)), QByteArray("25\xA7"));
    const QByteArray longString(1500, 'L');
    QCOMPARE(search(type1(QByteArray("\x01\x00\x00\x01", 4), longString + QByteArray(2, '\0'))),
             longString.left(999) + separator + longString.left(999));

    // A zero-length structure before type 1: its size runs from its own start to past the first double NUL.
    QCOMPARE(search(QByteArray("\x05\x00\x00", 3) + type1(QByteArray("\x01\x00\x00\x01", 4), QByteArray("M\0\0", 3))),
             QByteArray("M\xA7M"));
}

QTEST_GUILESS_MAIN(TestSmbprobe)
#include "tst_smbprobe.moc"
