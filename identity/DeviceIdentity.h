#pragma once

#include "identity/SmbiosReader.h"

#include <QString>
#include <QStringList>

#include <functional>

// The device identity: the text that binds this computer and account to a user at the authentication server, and
// from which the key of the local data files is derived. It is taken from the first of four sources that yields
// something, and always ends with "*" and the account name.
namespace DeviceIdentity {

// What the platform's own management data says about the machine: source 3 where no script host runs.
struct MachineData {
    QString manufacturer;
    QString serial;
};

// The four sources, replaceable so that each can be made to fail.
struct Sources {
    // 1: the program's own SMBIOS table reader.
    std::function<SystemInformation()> systemInformation;
    // 2: the probe library's text (manufacturer, U+00A7, serial number); empty when it cannot be had.
    std::function<QString()> probeLibrary;
    // 3: the script host: runs a command line and returns the line of output it gives.
    std::function<QString(const QString& commandLine)> runScript;
    // 4: the hardware addresses of the running adapters that have an IPv4 address.
    std::function<QStringList()> macAddresses;
    // 3 where no script host runs (Linux): the platform's management data; unset on Windows.
    std::function<MachineData()> machineData;
};

// The real sources of this platform.
Sources defaultSources();

// The device identity from the first source that yields one, ending with "*" and the account name; empty when no
// source yields anything. stringIndex selects the type-1 string that follows the manufacturer in the SMBIOS form
// (0 manufacturer, 1 product name, 2 version, 3 serial number). Uses the sources installed by
// setSourcesForTesting, else the real ones.
QString collect(int stringIndex, const QString& accountName);
QString collect(int stringIndex, const QString& accountName, const Sources& sources);

// The same identity without a trace in the data directory or the log, for a reader that must change nothing (the
// command line's --code): nothing is logged, and the two scripts, when the script source is reached and a script
// host is installed, are written to and run from a temporary folder of their own that is removed afterwards.
QString collectWithoutTraces(int stringIndex, const QString& accountName);

// For tests only: sources that collect(int, QString) uses instead of the real ones; nullptr restores them.
void setSourcesForTesting(const Sources* sources);

// Leading and trailing white space removed, white space being tab, LF, VT, FF, CR, blank, U+0085 and U+00A0.
QString trimWhiteSpace(const QString& text);

// Loads the probe library (kept loaded) and returns its text byte for byte as ISO 8859-1; empty when the library
// or one of its exports is missing or its initialisation fails. Traces "Serial : " and the text (veltrane.identity).
QString queryProbeLibrary();

// Runs a script host command line ("cscript", blanks, the quoted script path) with the installed script host
// (scriptHostPath), waiting up to 30 s for it to start and 30 s for it to finish, and returns scriptOutputLine of
// its output. Empty, and nothing runs, where no script host is installed or the command names another program.
QString runScriptCommand(const QString& commandLine);

// The fourth line of a script host's output (the first after its banner) without blanks, line feeds and the two
// characters backslash-n; a carriage return stays. Empty when the output has fewer than four lines.
QString scriptOutputLine(const QByteArray& output);

// The absolute path of the installed script host: Windows' cscript.exe in its system folder; empty elsewhere. The
// script host is never looked up through PATH, whose relative or empty entries name the current folder.
QString scriptHostPath();

// For tests only: a stand-in script host at this absolute path instead of the platform's; empty restores it.
void setScriptHostForTesting(const QString& absolutePath);

// The hardware address of every running interface, once per IPv4 address it has; all-zero and empty addresses
// (tun, WireGuard, PPP: no hardware address at all) left out.
QStringList macAddresses();

// The 16 bytes that name this program to systemd's application-specific machine identifier.
QByteArray machineAppId();

// systemd's application-specific machine identifier (sd_id128_get_machine_app_specific) for the machine-id text
// (32 hex digits): HMAC-SHA256 keyed with the machine id's 16 bytes over machineAppId(), its first 16 bytes with the
// UUID version 4 bits set, as 32 lower-case hex digits. Empty when the text is not a valid machine id. The machine id
// itself never leaves this function.
QString appSpecificMachineId(const QByteArray& machineIdText);

// Source 3's Linux counterpart, readable by any user: the manufacturer line from sys_vendor in dmiDirectory, the
// serial line from product_serial there when it can be read and holds something, else appSpecificMachineId of the
// machine-id file. Both lines follow the script host's output rules (blanks and line feeds removed).
MachineData readMachineData(const QString& dmiDirectory, const QString& machineIdPath);
// The same on this machine: /sys/class/dmi/id and /etc/machine-id.
MachineData readMachineData();

// The two VBScript files that print the enclosure's serial number and manufacturer.
QByteArray serialScriptText();
QByteArray manufacturerScriptText();
void writeSerialScript();
void writeManufacturerScript();

} // namespace DeviceIdentity
