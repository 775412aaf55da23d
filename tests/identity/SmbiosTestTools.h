#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Shared by the SMBIOS reader and probe library tests: fixtures, dmidecode as the oracle, hand-made entry points,
// and runs of a program inside a private mount namespace where a fixture stands at the real paths.
namespace SmbiosTestTools {

QString fixturePath(const QString& name);
// The base names of the twelve real tables ("lenovo-thinkpad-t430"), each with "NAME.bin" and "NAME.bin.table".
const QStringList& realTableNames();
QByteArray readFixture(const QString& name);

// Where the type-1 structure of the ThinkPad T430 table begins (its first structure is an OEM type).
constexpr int t430Type1Offset = 744;

struct Type1 {
    QByteArray manufacturer;
    QByteArray productName;
    QByteArray version;
    QByteArray serialNumber;
};

// The last "System Information" block that `dmidecode --from-dump <file> -t 1` prints; empty fields when none.
// Sets `ok` to false when dmidecode could not be run.
Type1 dmidecodeType1(const QString& dumpFile, bool& ok);

// A 31-byte "_SM_" entry point (with its "_DMI_" part) for a table at `address`, both checksums set.
QByteArray smEntryPoint(quint32 address, quint16 length, quint16 count);
// A 15-byte legacy "_DMI_" entry point.
QByteArray legacyEntryPoint(quint32 address, quint16 length, quint16 count);

// The dmidecode --dump-bin layout of a table: the entry point at 0, the table at 0x20. Written to `path`.
bool writeDump(const QString& path, const QByteArray& table, quint16 count);

// Runs `program args...` as root in a private mount namespace after a tmpfs is mounted on /sys/firmware and
// `tableFile` is placed as /sys/firmware/dmi/tables/DMI (no DMI folder when `tableFile` is empty). With
// `memoryFile`, a tmpfs is also mounted on /dev and the file placed as /dev/mem. Returns standard output; `ok`
// tells whether the process ran and exited 0. `skipReason` is set when namespaces are not available here.
QByteArray runInNamespace(const QString& tableFile, const QString& memoryFile, const QString& program,
                          const QStringList& args, bool& ok, QString& skipReason);

// The fields printed by smbios_runner ("name=hex" lines), decoded.
QByteArray runnerField(const QByteArray& output, const char* name);

} // namespace SmbiosTestTools
