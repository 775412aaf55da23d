#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTextStream;

// The codes for scripts and terminals: `--code [NAME]` prints the current code of a stored resource, `--list` the
// stored resources. It reads what start-up reads (the device identity, the file key, login.dat and res.dat) and
// judges them as start-up does, but it is a reader only: no window, no single-instance lock (it works beside a
// running program), no request, and nothing written, logged or deleted. A damaged stored file is left for the
// program's own start-up to remove.
namespace CodeCommand {

enum ExitStatus {
    Printed = 0,
    // The device identity could not be collected, so the stored files cannot be read.
    NoIdentity = 1,
    // No stored session, or stored files that do not decipher with this computer's key.
    NoSession = 2,
    NoSuchResource = 3,
    // The resource's key is the expired-token or expired-registration sentinel.
    Expired = 4,
    // Bad arguments (EX_USAGE).
    Usage = 64,
};

// Whether the arguments ask for it: --code, --list or --min-validity anywhere among them (argv[0] aside).
bool isRequested(int argc, char** argv);

// What --min-validity waits with until the given second (since 1970-01-01 00:00:00 UTC) has come by
// Clock::current(). The program sleeps (sleepUntil); a test moves its clock instead.
using WaitUntil = std::function<void(qint64 second)>;
void sleepUntil(qint64 second);

// Runs the command for the arguments (without the program's name): the code or the list on `out`, every complaint
// on `err`. Returns the process's exit status.
int run(const QStringList& arguments, QTextStream& out, QTextStream& err, const WaitUntil& waitUntil = sleepUntil);

// The usage lines, also part of --help.
QString usage();

// The seconds of one code step: a code is counted as current until the next full or half minute.
inline constexpr int kStepSeconds = 30;

} // namespace CodeCommand
