#include "identity/SmbiosTestTools.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace SmbiosTestTools {

namespace {

void put16(QByteArray& bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void put32(QByteArray& bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
    }
}

// Sets bytes[checksumAt] so that the `count` bytes from `from` sum to zero.
void fixChecksum(QByteArray& bytes, int from, int count, int checksumAt)
{
    bytes[checksumAt] = 0;
    quint8 sum = 0;
    for (int i = from; i < from + count; ++i) {
        sum = quint8(sum + quint8(bytes[i]));
    }
    bytes[checksumAt] = char(quint8(0x100 - sum));
}

QByteArray dmiPart(quint32 address, quint16 length, quint16 count)
{
    QByteArray part(15, '\0');
    part.replace(0, 5, "_DMI_");
    put16(part, 6, length);
    put32(part, 8, address);
    put16(part, 12, count);
    part[14] = 0x27; // BCD revision 2.7
    fixChecksum(part, 0, 15, 5);
    return part;
}

} // namespace

QString fixturePath(const QString& name)
{
    return QStringLiteral(VELTRANE_TEST_DATA_DIR "/smbios/") + name;
}

const QStringList& realTableNames()
{
    static const QStringList names = {QStringLiteral("lenovo-thinkpad-t430"),
                                      QStringLiteral("toshiba-satellite-pro-l70a"),
                                      QStringLiteral("lenovo-thinkpad-t490"),
                                      QStringLiteral("dell-poweredge-r777sd"),
                                      QStringLiteral("beelink-eq12"),
                                      QStringLiteral("dell-precision-3620"),
                                      QStringLiteral("supermicro-super-server"),
                                      QStringLiteral("microsoft-hyperv-vm"),
                                      QStringLiteral("supermicro-h8qg6"),
                                      QStringLiteral("aaeon-up-cht01"),
                                      QStringLiteral("amd-board-oem-placeholder"),
                                      QStringLiteral("microsoft-surface-laptop-3")};
    return names;
}

QByteArray readFixture(const QString& name)
{
    QFile file(fixturePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Type1 dmidecodeType1(const QString& dumpFile, bool& ok)
{
    const QString program = QStandardPaths::findExecutable(
        QStringLiteral("dmidecode"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin")});
    QProcess dmidecode;
    dmidecode.start(program, {QStringLiteral("--from-dump"), dumpFile, QStringLiteral("-t"), QStringLiteral("1")});
    ok = !program.isEmpty() && dmidecode.waitForFinished(30000) && dmidecode.exitStatus() == QProcess::NormalExit;
    Type1 result;
    bool inBlock = false;
    const QList<QByteArray> lines = dmidecode.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (line == "System Information") {
            inBlock = true;
            result = Type1{};
        } else if (!line.startsWith('\t')) {
            inBlock = false;
        } else if (inBlock) {
            const int colon = line.indexOf(": ");
            const QByteArray key = line.mid(1, colon - 1);
            const QByteArray value = colon < 0 ? QByteArray() : line.mid(colon + 2);
            if (key == "Manufacturer") {
                result.manufacturer = value;
            } else if (key == "Product Name") {
                result.productName = value;
            } else if (key == "Version") {
                result.version = value;
            } else if (key == "Serial Number") {
                result.serialNumber = value;
            }
        }
    }
    return result;
}

QByteArray smEntryPoint(quint32 address, quint16 length, quint16 count)
{
    QByteArray ep(0x1F, '\0');
    ep.replace(0, 4, "_SM_");
    ep[5] = 0x1F;
    ep[6] = 2;
    ep[7] = 7;
    put16(ep, 8, 0x100);
    ep.replace(0x10, 15, dmiPart(address, length, count));
    fixChecksum(ep, 0, 0x1F, 4);
    return ep;
}

QByteArray legacyEntryPoint(quint32 address, quint16 length, quint16 count)
{
    return dmiPart(address, length, count);
}

bool writeDump(const QString& path, const QByteArray& table, quint16 count)
{
    QByteArray dump = smEntryPoint(0x20, quint16(table.size()), count);
    dump.append(QByteArray(0x20 - dump.size(), '\0'));
    dump.append(table);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(dump) == dump.size();
}

QByteArray runInNamespace(const QString& tableFile, const QString& memoryFile, const QString& program,
                          const QStringList& args, bool& ok, QString& skipReason)
{
    ok = false;
    if (geteuid() != 0) {
        skipReason = QStringLiteral("needs root for a private mount namespace");
        return {};
    }
    // $1 table file (or empty), $2 memory file (or empty), then the program and its arguments.
    const QString script = QStringLiteral(
        "set -e\n"
        "mount -t tmpfs veltrane-test /sys/firmware\n"
        "if [ -n \"$1\" ]; then mkdir -p /sys/firmware/dmi/tables; cp \"$1\" /sys/firmware/dmi/tables/DMI; fi\n"
        "if [ -n \"$2\" ]; then mount -t tmpfs veltrane-test /dev; cp \"$2\" /dev/mem; fi\n"
        "shift 2\n"
        "exec \"$@\"\n");
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("unshare"),
                  QStringList{QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                              QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), tableFile,
                              memoryFile, program} +
                      args);
    if (!process.waitForStarted(30000)) {
        skipReason = QStringLiteral("unshare is not available");
        return {};
    }
    process.waitForFinished(60000);
    ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

QByteArray runnerField(const QByteArray& output, const char* name)
{
    const QByteArray prefix = QByteArray(name) + '=';
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(prefix)) {
            return QByteArray::fromHex(line.mid(prefix.size()));
        }
    }
    return {};
}

} // namespace SmbiosTestTools
