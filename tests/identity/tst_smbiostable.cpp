#include "identity/SmbiosReader.h"
#include "identity/SmbiosTable.h"
#include "identity/SmbiosTestTools.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace SmbiosTestTools;

// The program's own SMBIOS table reader: the walker and string rules on real tables against dmidecode, on hand-made
// mutations, on broken input; the entry-point scan; and the real Linux paths inside a private mount namespace.
class TestSmbiosTable : public QObject {
    Q_OBJECT

private slots:
    void realTables_data();
    void realTables();
    void windowsFirmwareBlob();
    void mutations_data();
    void mutations();
    void truncatedAndRandomTables();
    void entryPointScan();
    void walkThroughEntryPoints();
    void linuxRawTable_data();
    void linuxRawTable();
    void linuxPhysicalMemory_data();
    void linuxPhysicalMemory();
    void linuxNothingReadable();
};

namespace {

// Fixtures whose machine had a 2.x "_SM_" entry point: their tables can stand behind one in physical memory.
const QStringList smEntryPointFixtures = {QStringLiteral("lenovo-thinkpad-t430"),
                                          QStringLiteral("toshiba-satellite-pro-l70a"),
                                          QStringLiteral("microsoft-hyperv-vm"), QStringLiteral("supermicro-h8qg6")};

void compareWith(const SystemInformation& info, const Type1& expected)
{
    QCOMPARE(info.manufacturer.toLatin1(), expected.manufacturer);
    QCOMPARE(info.productName.toLatin1(), expected.productName);
    QCOMPARE(info.version.toLatin1(), expected.version);
    QCOMPARE(info.serialNumber.toLatin1(), expected.serialNumber);
}

Type1 oracle(const QString& dumpFile)
{
    bool ok = false;
    const Type1 expected = dmidecodeType1(dumpFile, ok);
    if (!ok) {
        qWarning("dmidecode could not be run on %s", qPrintable(dumpFile));
    }
    return expected;
}

// The T430 table with its type-1 structure (at offset 744, ending at the next double NUL) replaced.
QByteArray t430WithType1(const QByteArray& structure)
{
    QByteArray table = readFixture(QStringLiteral("lenovo-thinkpad-t430.bin.table"));
    const int start = t430Type1Offset;
    const int end = int(table.indexOf(QByteArray(2, '\0'), start + quint8(table[start + 1]))) + 2;
    return table.replace(start, end - start, structure);
}

QByteArray type1(quint8 length, const QByteArray& refs, const QByteArray& strings)
{
    QByteArray s(length, '\0');
    s[0] = 1;
    s[1] = char(length);
    s[2] = 0x0F;
    for (int i = 0; i < refs.size() && 4 + i < length; ++i) {
        s[4 + i] = refs[i];
    }
    return s + strings;
}

} // namespace

void TestSmbiosTable::realTables_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : realTableNames()) {
        QTest::newRow(qPrintable(name)) << name;
    }
}

void TestSmbiosTable::realTables()
{
    QFETCH(QString, name);
    const Type1 expected = oracle(fixturePath(name + QStringLiteral(".bin")));
    QVERIFY(!expected.manufacturer.isEmpty());
    compareWith(systemInformationFromTable(readFixture(name + QStringLiteral(".bin.table"))), expected);
}

void TestSmbiosTable::windowsFirmwareBlob()
{
    const QByteArray blob = readFixture(QStringLiteral("microsoft-surface-laptop-3.rsmb"));
    const std::vector<std::uint8_t> table =
        SmbiosTable::tableFromFirmwareBlob(reinterpret_cast<const std::uint8_t*>(blob.constData()), blob.size());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(table.data()), qsizetype(table.size())),
             readFixture(QStringLiteral("microsoft-surface-laptop-3.bin.table")));
    SmbiosTable::SystemStrings strings;
    QVERIFY(SmbiosTable::walkCounted(table.data(), table.size(), strings));
    compareWith(toSystemInformation(strings), oracle(fixturePath(QStringLiteral("microsoft-surface-laptop-3.bin"))));

    // A header that claims more than the blob holds, and a blob shorter than its header.
    QByteArray shortBlob = blob.left(100);
    QCOMPARE(
        SmbiosTable::tableFromFirmwareBlob(reinterpret_cast<const std::uint8_t*>(shortBlob.constData()), 100).size(),
        size_t(92));
    QVERIFY(SmbiosTable::tableFromFirmwareBlob(reinterpret_cast<const std::uint8_t*>(blob.constData()), 7).empty());
}

void TestSmbiosTable::mutations_data()
{
    QTest::addColumn<QByteArray>("table");
    // Checked against dmidecode when empty; dmidecode shows bytes 0x80-0xFF as they are, so rows with such bytes
    // give their expectation by hand ("manufacturer|product|version|serial").
    QTest::addColumn<QByteArray>("expected");

    const QByteArray strings("LENOVO\0002347A4\0ThinkPad T430\0PBKGNED\0\0", 38);
    QTest::newRow("no type 1") << t430WithType1(QByteArray("\x81\x08\x0F\x00\x01\x02\x03\x04", 8) + strings)
                               << QByteArray("|||");
    QTest::newRow("manufacturer index 0")
        << t430WithType1(type1(0x1B, QByteArray("\x00\x02\x03\x04", 4), strings)) << QByteArray();
    QTest::newRow("index past the set") << t430WithType1(type1(0x1B, QByteArray("\x01\x02\x03\x05", 4), strings))
                                        << QByteArray();
    QTest::newRow("empty string set") << t430WithType1(
                                             type1(0x1B, QByteArray("\x01\x02\x03\x04", 4), QByteArray(2, '\0')))
                                      << QByteArray();
    QTest::newRow("bytes 0x01 and 0xFF") << t430WithType1(
                                                type1(0x1B, QByteArray("\x01\x02\x03\x04", 4),
                                                      QByteArray("LEN\x01VO\0002347A4\0T430\0PB\xFFKG\0\0", 27)))
                                         << QByteArray("LEN.VO|2347A4|T430|PB.KG");
    QTest::newRow("length 7") << t430WithType1(type1(7, QByteArray("\x01\x02\x03", 3), strings)) << QByteArray("|||");
    QTest::newRow("length 8") << t430WithType1(type1(8, QByteArray("\x01\x02\x03\x04", 4), strings)) << QByteArray();
    QTest::newRow("type 0 before type 1")
        << (QByteArray("\x00\x12\x00\x00\x01\x02\x00\xF0\x03\x07\x80\x00\x00\x00\x00\x00\x00\x00", 18) +
            QByteArray("Vendor\0V1\0\0", 11) + type1(0x1B, QByteArray("\x01\x02\x03\x04", 4), strings) +
            QByteArray("\x7F\x04\xFF\xFE\0\0", 6))
        << QByteArray();
    const QByteArray t430 = readFixture(QStringLiteral("lenovo-thinkpad-t430.bin.table"));
    QTest::newRow("length below 4 before type 1")
        << QByteArray(t430).insert(t430Type1Offset, QByteArray("\x88\x02\x00\x00", 4)) << QByteArray("|||");
    const int afterType1 = int(t430.indexOf(QByteArray(2, '\0'), t430Type1Offset + 0x1B)) + 2;
    QTest::newRow("length below 4 after type 1")
        << QByteArray(t430).insert(afterType1, QByteArray("\x88\x02\x00\x00", 4)) << QByteArray();
    QTest::newRow("last type 1 wins") << t430WithType1(type1(0x1B, QByteArray("\x01\x02\x03\x04", 4), strings) +
                                                       type1(0x1B, QByteArray("\x02\x01\x00\x01", 4),
                                                             QByteArray("Second\0Board\0\0", 14)))
                                      << QByteArray();
    QTest::newRow("type 1 cut inside its strings") << t430.left(t430Type1Offset + 0x1B + 10) << QByteArray("|||");
    QTest::newRow("type 1 ends the table exactly")
        << t430.left(int(t430.indexOf(QByteArray(2, '\0'), t430Type1Offset + 0x1B)) + 2) << QByteArray();
}

void TestSmbiosTable::mutations()
{
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, expected);
    const SystemInformation info = systemInformationFromTable(table);
    if (expected.isEmpty()) {
        QTemporaryDir dir;
        const QString dump = dir.filePath(QStringLiteral("table.bin"));
        const quint16 count = quint16(SmbiosTable::countStructures(
            reinterpret_cast<const std::uint8_t*>(table.constData()), std::size_t(table.size())));
        QVERIFY(writeDump(dump, table, count));
        const Type1 oracleResult = oracle(dump);
        QVERIFY(!oracleResult.manufacturer.isEmpty());
        compareWith(info, oracleResult);
    } else {
        const QList<QByteArray> fields = expected.split('|');
        compareWith(info, Type1{fields[0], fields[1], fields[2], fields[3]});
    }
}

void TestSmbiosTable::truncatedAndRandomTables()
{
    // Every cut of a real table, and random bytes: each gives empty or the full strings, never more, never a crash
    // (the sanitizer build watches the reads).
    const QByteArray t430 = readFixture(QStringLiteral("lenovo-thinkpad-t430.bin.table"));
    for (int cut = 0; cut <= t430.size(); ++cut) {
        const SystemInformation info = systemInformationFromTable(t430.left(cut));
        QVERIFY(info.serialNumber.isEmpty() || info.serialNumber == QLatin1String("PBKGNED"));
    }
    QRandomGenerator random(20240611);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(int(random.bounded(600)), '\0');
        for (char& c : bytes) {
            c = char(random.bounded(round % 2 ? 256 : 4)); // many zero bytes too
        }
        systemInformationFromTable(bytes);
    }
}

void TestSmbiosTable::entryPointScan()
{
    QByteArray area(int(SmbiosTable::scanAreaSize), '\0');
    area.replace(0x100, 0x1F, smEntryPoint(0x12345678, 0x0ABC, 42));
    area.replace(0x200, 15, legacyEntryPoint(0x000E0000, 0x0100, 7));
    QByteArray badSum = smEntryPoint(0x1, 2, 3);
    badSum[0x1C] = char(badSum[0x1C] + 1);
    area.replace(0x300, 0x1F, badSum);
    QByteArray badDmiPart = smEntryPoint(0x1, 2, 3);
    badDmiPart[0x10] = 'X';
    area.replace(0x400, 0x1F, badDmiPart);
    area.replace(0x501, 15, legacyEntryPoint(0x1, 2, 3)); // not at a 16-byte boundary
    area.replace(0xFFE0, 15, legacyEntryPoint(0x000F1000, 0x0200, 9));
    area.replace(0xFFF0, 4, "_SM_"); // too close to the end for an "_SM_" entry point

    const std::vector<SmbiosTable::EntryPoint> found =
        SmbiosTable::scanEntryPoints(reinterpret_cast<const std::uint8_t*>(area.constData()), std::size_t(area.size()));
    QCOMPARE(found.size(), size_t(3));
    QCOMPARE(found[0].tableAddress, 0x12345678u);
    QCOMPARE(found[0].tableLength, quint16(0x0ABC));
    QCOMPARE(found[0].structureCount, quint16(42));
    QCOMPARE(found[1].tableAddress, 0x000E0000u);
    QCOMPARE(found[1].structureCount, quint16(7));
    QCOMPARE(found[2].tableAddress, 0x000F1000u);

    // An "_SM_" entry point whose declared length runs past the area is not valid (its "_DMI_" part still is, as a
    // legacy entry point), and an area cut inside an entry point holds none.
    QByteArray tail(0x20, '\0');
    tail.replace(0, 0x1F, smEntryPoint(1, 2, 3));
    tail[5] = char(0xFF);
    QCOMPARE(SmbiosTable::scanEntryPoints(reinterpret_cast<const std::uint8_t*>(tail.constData()), 0x20).size(),
             size_t(1));
    QVERIFY(SmbiosTable::scanEntryPoints(reinterpret_cast<const std::uint8_t*>(tail.constData()), 0x1E).empty());
}

void TestSmbiosTable::walkThroughEntryPoints()
{
    // Physical memory as a map of address to bytes; reads outside it fail.
    const QByteArray table = readFixture(QStringLiteral("microsoft-hyperv-vm.bin.table"));
    QByteArray area(int(SmbiosTable::scanAreaSize), '\0');
    area.replace(0x40, 0x1F, smEntryPoint(0x00100000, quint16(table.size()), 373));
    const auto read = [&](std::uint64_t address, std::size_t length, std::vector<std::uint8_t>& out) {
        const QByteArray& source = address == SmbiosTable::scanAreaAddress ? area : table;
        if ((address != SmbiosTable::scanAreaAddress && address != 0x00100000) || length > size_t(source.size())) {
            return false;
        }
        out.assign(source.constData(), source.constData() + length);
        return true;
    };
    SmbiosTable::SystemStrings strings;
    QVERIFY(SmbiosTable::walkFromEntryPoints(read, strings));
    QCOMPARE(QByteArray::fromStdString(strings.manufacturer), QByteArray("Microsoft Corporation"));

    // An entry point whose table cannot be read gives nothing.
    area.replace(0x40, 0x1F, smEntryPoint(0x00200000, 100, 5));
    SmbiosTable::SystemStrings none;
    QVERIFY(!SmbiosTable::walkFromEntryPoints(read, none));
    QVERIFY(none.manufacturer.empty());
}

void TestSmbiosTable::linuxRawTable_data()
{
    realTables_data();
}

void TestSmbiosTable::linuxRawTable()
{
    QFETCH(QString, name);
    bool ok = false;
    QString skip;
    const QByteArray output =
        runInNamespace(fixturePath(name + QStringLiteral(".bin.table")), QString(),
                       QStringLiteral(VELTRANE_SMBIOS_RUNNER), {QStringLiteral("reader")}, ok, skip);
    if (!skip.isEmpty()) {
        QSKIP(qPrintable(skip));
    }
    QVERIFY2(ok, output.constData());
    compareWith(SystemInformation{QString::fromLatin1(runnerField(output, "manufacturer")),
                                  QString::fromLatin1(runnerField(output, "productName")),
                                  QString::fromLatin1(runnerField(output, "version")),
                                  QString::fromLatin1(runnerField(output, "serialNumber"))},
                oracle(fixturePath(name + QStringLiteral(".bin"))));
}

void TestSmbiosTable::linuxPhysicalMemory_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("legacy");
    for (const QString& name : smEntryPointFixtures) {
        QTest::newRow(qPrintable(name)) << name << false;
    }
    QTest::newRow("legacy _DMI_ entry point") << QStringLiteral("lenovo-thinkpad-t430") << true;
}

void TestSmbiosTable::linuxPhysicalMemory()
{
    // No raw table in sysfs: the reader scans "/dev/mem", here a file with an entry point in the BIOS area at
    // 0xF0000 and the table above 1 MiB, both taken from the machine's dump.
    QFETCH(QString, name);
    QFETCH(bool, legacy);
    const QByteArray dump = readFixture(name + QStringLiteral(".bin"));
    const QByteArray table = readFixture(name + QStringLiteral(".bin.table"));
    const quint16 count = quint16(quint8(dump[0x1C]) | (quint8(dump[0x1D]) << 8));
    constexpr quint32 tableAddress = 0x00100000;
    const QByteArray entry = legacy ? legacyEntryPoint(tableAddress, quint16(table.size()), count)
                                    : smEntryPoint(tableAddress, quint16(table.size()), count);
    QTemporaryDir dir;
    QFile memory(dir.filePath(QStringLiteral("mem")));
    QVERIFY(memory.open(QIODevice::WriteOnly));
    QVERIFY(memory.seek(SmbiosTable::scanAreaAddress + 0x9A0));
    memory.write(entry);
    QVERIFY(memory.seek(tableAddress));
    memory.write(table);
    memory.close();

    bool ok = false;
    QString skip;
    const QByteArray output = runInNamespace(QString(), memory.fileName(), QStringLiteral(VELTRANE_SMBIOS_RUNNER),
                                             {QStringLiteral("reader")}, ok, skip);
    if (!skip.isEmpty()) {
        QSKIP(qPrintable(skip));
    }
    QVERIFY2(ok, output.constData());
    const Type1 expected = oracle(fixturePath(name + QStringLiteral(".bin")));
    QCOMPARE(runnerField(output, "manufacturer"), expected.manufacturer);
    QCOMPARE(runnerField(output, "serialNumber"), expected.serialNumber);
}

void TestSmbiosTable::linuxNothingReadable()
{
    // Neither a raw table nor a physical-memory device: four empty strings.
    bool ok = false;
    QString skip;
    QTemporaryDir dir;
    QFile empty(dir.filePath(QStringLiteral("empty")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QByteArray output = runInNamespace(QString(), empty.fileName(), QStringLiteral(VELTRANE_SMBIOS_RUNNER),
                                             {QStringLiteral("reader")}, ok, skip);
    if (!skip.isEmpty()) {
        QSKIP(qPrintable(skip));
    }
    QVERIFY2(ok, output.constData());
    QCOMPARE(output, QByteArray("manufacturer=\nproductName=\nversion=\nserialNumber=\n"));
}

QTEST_GUILESS_MAIN(TestSmbiosTable)
#include "tst_smbiostable.moc"
