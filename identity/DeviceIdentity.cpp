#include "identity/DeviceIdentity.h"

#include "core/CoreServices.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "identity/IdentityPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMessageAuthenticationCode>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <memory>

// The identity is what the key of the stored files is made from (and the password is in login.dat): its traces are
// off unless QT_LOGGING_RULES="veltrane.identity.debug=true", never in a desktop session's journal by default.
Q_LOGGING_CATEGORY(identityTrace, "veltrane.identity", QtWarningMsg)

namespace DeviceIdentity {

namespace {

const Sources* testSources = nullptr;

bool isWhiteSpace(QChar c)
{
    switch (c.unicode()) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
        return true;
    default:
        return false;
    }
}

// The script body; line 9 prints the wanted property. Plain ASCII, every line ended by a line feed alone.
QByteArray scriptText(const char* property)
{
    QByteArray text;
    text += "On Error Resume Next \n";
    text += "Set wshShell = WScript.CreateObject(\"WScript.Shell\")\n";
    text += "strComputerName = wshShell.ExpandEnvironmentStrings(\"%COMPUTERNAME%\")\n";
    text += "Dim strComputer\n";
    text += "strComputer = strComputerName\n";
    text += "Set objWMIService = GetObject(\"winmgmts:\" & \"{impersonationLevel=impersonate}!\\\\\" & strComputer & "
            "\"\\root\\cimv2\")\n";
    text += "Set colSMBIOS = objWMIService.ExecQuery (\"Select * from Win32_SystemEnclosure\")\n";
    text += "For Each objSMBIOS in colSMBIOS \n";
    text += "WScript.StdOut.WriteLine(objSMBIOS.";
    text += property;
    text += ")\n";
    text += "Next\n";
    return text;
}

void writeFile(const QString& path, const QByteArray& content)
{
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(content);
    }
}

QString serialScriptPath()
{
    return homeFilePath(SharedText::get().serialScriptRel);
}

QString manufacturerScriptPath()
{
    return homeFilePath(SharedText::get().manufacturerScriptRel);
}

QString quoted(const QString& path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

using InitFn = unsigned char (*)();
using ShowFn = const char* (*)();

// The probe library, loaded once and never unloaded: its text buffer belongs to it.
QLibrary* probeLibrary()
{
    static QLibrary* library = [] {
        // Deliberately leaked: unloading would invalidate the library's text while the process lives.
        auto* lib = new QLibrary;
        if (QCoreApplication::instance()) {
            for (const QString& path : IdentityPlatform::probeLibraryPaths(QCoreApplication::applicationDirPath())) {
                lib->setFileName(path);
                if (lib->load()) {
                    break;
                }
            }
        }
        return lib;
    }();
    return library;
}

QString& scriptHostOverride()
{
    static QString path;
    return path;
}

// The longest text the library can give: two strings of at most 999 bytes and the separator.
constexpr std::size_t maxProbeText = 1999;

// What the script host's output line goes through: no blanks, no line feeds, no backslash-n pairs.
QString applyScriptLineRules(QString line)
{
    line.remove(QLatin1Char(' '));
    line.remove(QLatin1Char('\n'));
    line.remove(QStringLiteral("\\n"));
    return line;
}

// The first line of a small platform file, one byte per character; empty when it cannot be read. Management files
// are short: anything past the first 4 KiB is not read.
QString firstLineOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(4096);
    const qsizetype end = bytes.indexOf('\n');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

} // namespace

QString trimWhiteSpace(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isWhiteSpace(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isWhiteSpace(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString queryProbeLibrary()
{
    QLibrary* library = probeLibrary();
    if (!library->isLoaded()) {
        return {};
    }
    const auto init = reinterpret_cast<InitFn>(library->resolve("init_raw_smbios_data"));
    if (!init || !init()) {
        return {};
    }
    const auto show = reinterpret_cast<ShowFn>(library->resolve("show_system_information"));
    if (!show) {
        return {};
    }
    const char* text = show();
    if (!text) {
        return {};
    }
    const std::size_t length = strnlen(text, maxProbeText);
    const QString serial = QString::fromLatin1(text, static_cast<qsizetype>(length));
    qCDebug(identityTrace).noquote() << QStringLiteral("Serial : ") + serial;
    return serial;
}

QString scriptHostPath()
{
    if (!scriptHostOverride().isEmpty()) {
        return scriptHostOverride();
    }
    return IdentityPlatform::scriptHostPath();
}

void setScriptHostForTesting(const QString& absolutePath)
{
    scriptHostOverride() = absolutePath;
}

QString scriptOutputLine(const QByteArray& output)
{
    const QStringList lines = QString::fromLatin1(output).split(QLatin1Char('\n'));
    if (lines.size() < 4) {
        return {};
    }
    return applyScriptLineRules(lines.at(3));
}

QString runScriptCommand(const QString& commandLine)
{
    // The command line names the script host by its word "cscript"; the program that runs is the installed one.
    QStringList words = QProcess::splitCommand(commandLine);
    const QString host = scriptHostPath();
    if (words.isEmpty() || words.first() != QLatin1String("cscript") || !QDir::isAbsolutePath(host)) {
        return {};
    }
    words.removeFirst();
    constexpr int waitMs = 30000;
    QProcess process;
    process.start(host, words);
    process.waitForStarted(waitMs);
    process.closeWriteChannel();
    if (!process.waitForFinished(waitMs) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(waitMs);
    }
    return scriptOutputLine(process.readAllStandardOutput());
}

QStringList macAddresses()
{
    QStringList addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        if (!interface.flags().testFlag(QNetworkInterface::IsRunning)) {
            continue;
        }
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        const QString hardwareAddress = interface.hardwareAddress();
        // An adapter without a hardware address would make the identity "" + "*" + account, which counts as none.
        if (hardwareAddress.isEmpty() || hardwareAddress == QLatin1String("00:00:00:00:00:00")) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().toString().contains(QLatin1Char('.'))) {
                addresses.append(hardwareAddress);
            }
        }
    }
    return addresses;
}

QByteArray machineAppId()
{
    // Chosen once for this program; changing it changes every Linux identity of this source.
    return QByteArray::fromHex("b263f1f00f90409b927d37e35d759473");
}

QString appSpecificMachineId(const QByteArray& machineIdText)
{
    const QByteArray text = machineIdText.trimmed();
    static const QByteArray hexDigits("0123456789abcdefABCDEF");
    if (text.size() != 32 || !std::all_of(text.begin(), text.end(), [](char c) { return hexDigits.contains(c); })) {
        return {};
    }
    const QByteArray machineId = QByteArray::fromHex(text);
    if (machineId == QByteArray(16, '\0')) {
        return {};
    }
    QByteArray id = QMessageAuthenticationCode::hash(machineAppId(), machineId, QCryptographicHash::Sha256).left(16);
    // A random-based (version 4, RFC 4122 variant) UUID, as systemd makes it.
    id[6] = char((quint8(id[6]) & 0x0F) | 0x40);
    id[8] = char((quint8(id[8]) & 0x3F) | 0x80);
    return QString::fromLatin1(id.toHex());
}

MachineData readMachineData(const QString& dmiDirectory, const QString& machineIdPath)
{
    MachineData data;
    data.manufacturer = applyScriptLineRules(firstLineOf(dmiDirectory + QStringLiteral("/sys_vendor")));
    // product_serial is root's alone on most systems; a normal user gets the machine's own identifier instead.
    data.serial = trimWhiteSpace(applyScriptLineRules(firstLineOf(dmiDirectory + QStringLiteral("/product_serial"))));
    if (data.serial.isEmpty()) {
        QFile machineId(machineIdPath);
        if (machineId.open(QIODevice::ReadOnly)) {
            data.serial = appSpecificMachineId(machineId.read(64).split('\n').value(0));
        }
    }
    return data;
}

MachineData readMachineData()
{
    return readMachineData(QStringLiteral("/sys/class/dmi/id"), QStringLiteral("/etc/machine-id"));
}

QByteArray serialScriptText()
{
    return scriptText("SerialNumber");
}

QByteArray manufacturerScriptText()
{
    return scriptText("manufacturer");
}

void writeSerialScript()
{
    writeFile(serialScriptPath(), serialScriptText());
}

void writeManufacturerScript()
{
    writeFile(manufacturerScriptPath(), manufacturerScriptText());
}

namespace {
// What collecting leaves behind: start-up's collection logs the source that yielded and runs the scripts from the data
// directory; the command line's collection logs nothing and runs them from a temporary folder.
enum class Traces { Kept, None };

// A script's place is empty when no folder could be made for it.
void removeScript(const QString& path)
{
    if (!path.isEmpty()) {
        QFile::remove(path);
    }
}

QString collectFrom(int stringIndex, const QString& accountName, const Sources& sources, Traces traces)
{
    const auto log = [traces](const QString& text) {
        if (traces == Traces::Kept) {
            logActivity(text);
        }
    };
    // The two scripts' places, fixed when the script source is reached (the fourth source comes only after it).
    std::unique_ptr<QTemporaryDir> scriptFolder;
    QString serialScript;
    QString manufacturerScript;

    const QString star = SharedText::get().identityFieldSeparator;
    QString identity;

    const SystemInformation info = sources.systemInformation ? sources.systemInformation() : SystemInformation{};
    const QString manufacturer = trimWhiteSpace(info.manufacturer);
    if (!manufacturer.isEmpty()) {
        const QString strings[] = {info.manufacturer, info.productName, info.version, info.serialNumber};
        const QString selected = stringIndex >= 0 && stringIndex < 4 ? strings[stringIndex] : QString();
        identity = manufacturer + star + selected + star + accountName;
        log(QStringLiteral("decode sucess"));
    }

    if (identity.isEmpty()) {
        const QString probe = trimWhiteSpace(sources.probeLibrary ? sources.probeLibrary() : QString());
        if (!probe.isEmpty() && probe != QString(QChar(0x00A7))) {
            identity = probe + star + accountName;
            log(QStringLiteral("DLL sucess"));
        }
    }

    if (identity.isEmpty()) {
        if (traces == Traces::Kept) {
            serialScript = serialScriptPath();
            manufacturerScript = manufacturerScriptPath();
        } else if (testSources || !scriptHostPath().isEmpty()) {
            // A folder of its own, removed with everything in it when collection ends; empty names when none can
            // be made, so no script runs. Where no script host is installed (Linux), nothing runs and nothing is
            // written at all.
            scriptFolder = std::make_unique<QTemporaryDir>();
            if (scriptFolder->isValid()) {
                serialScript = scriptFolder->filePath(QFileInfo(serialScriptPath()).fileName());
                manufacturerScript = scriptFolder->filePath(QFileInfo(manufacturerScriptPath()).fileName());
            }
        }
        removeScript(serialScript);
        removeScript(manufacturerScript);
        writeFile(serialScript, serialScriptText());
        const QString serial = trimWhiteSpace(
            sources.runScript ? sources.runScript(QStringLiteral("cscript  ") + quoted(serialScript)) : QString());
        if (!serial.isEmpty()) {
            writeFile(manufacturerScript, manufacturerScriptText());
            const QString manufacturerLine =
                sources.runScript(QStringLiteral("cscript   ") + quoted(manufacturerScript));
            identity = manufacturerLine + star + serial + star + accountName;
            removeScript(serialScript);
            removeScript(manufacturerScript);
            log(QStringLiteral("script sucess"));
        } else if (sources.machineData) {
            // No script host ran (or it printed nothing): the platform's own management data, same rules.
            const MachineData data = sources.machineData();
            const QString machineSerial = trimWhiteSpace(data.serial);
            if (!machineSerial.isEmpty()) {
                identity = data.manufacturer + star + machineSerial + star + accountName;
                removeScript(serialScript);
                log(QStringLiteral("script sucess"));
            }
        }
    }

    if (identity.isEmpty()) {
        removeScript(serialScript);
        const QStringList addresses = sources.macAddresses ? sources.macAddresses() : QStringList();
        const QString address = addresses.isEmpty() ? QString() : addresses.first();
        qCDebug(identityTrace).noquote() << QStringLiteral("MacAddress :") + address;
        if (address.isEmpty()) {
            return {};
        }
        identity = address + star + accountName;
        log(QStringLiteral("MAddr sucess"));
    }

    qCDebug(identityTrace).noquote() << QStringLiteral("Get ") + identity;
    return identity;
}

} // namespace

Sources defaultSources()
{
    Sources sources{&readSystemInformation, &queryProbeLibrary, &runScriptCommand, &macAddresses, {}};
    if (IdentityPlatform::readsMachineData()) {
        sources.machineData = [] { return readMachineData(); };
    }
    return sources;
}

void setSourcesForTesting(const Sources* sources)
{
    testSources = sources;
}

QString collect(int stringIndex, const QString& accountName)
{
    return testSources ? collect(stringIndex, accountName, *testSources)
                       : collect(stringIndex, accountName, defaultSources());
}

QString collect(int stringIndex, const QString& accountName, const Sources& sources)
{
    return collectFrom(stringIndex, accountName, sources, Traces::Kept);
}

QString collectWithoutTraces(int stringIndex, const QString& accountName)
{
    return testSources ? collectFrom(stringIndex, accountName, *testSources, Traces::None)
                       : collectFrom(stringIndex, accountName, defaultSources(), Traces::None);
}

} // namespace DeviceIdentity
