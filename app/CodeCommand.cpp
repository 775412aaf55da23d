#include "app/CodeCommand.h"

#include "cipher/FileKey.h"
#include "core/Clock.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "core/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/TokenGenerator.h"
#include "storage/ResourceStore.h"
#include "storage/StoredLogin.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace CodeCommand {

namespace {
const QLatin1String kCode("--code");
const QLatin1String kList("--list");
const QLatin1String kMinValidity("--min-validity");
const QLatin1String kPrefix("veltrane-auth: ");

struct Request {
    bool code = false;
    bool list = false;
    bool hasName = false;
    QString name;
    // -1: not given.
    int minValidity = -1;
};

// The arguments as a request; the complaint when they do not make one.
QString parse(const QStringList& arguments, Request* request)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == kCode) {
            if (request->code) {
                return QStringLiteral("--code is given twice");
            }
            request->code = true;
            // The name is the next argument unless that is an option.
            if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1String("--"))) {
                request->hasName = true;
                request->name = arguments.at(++i);
            }
        } else if (argument == kList) {
            if (request->list) {
                return QStringLiteral("--list is given twice");
            }
            request->list = true;
        } else if (argument == kMinValidity) {
            if (request->minValidity >= 0) {
                return QStringLiteral("--min-validity is given twice");
            }
            bool ok = false;
            const int seconds = i + 1 < arguments.size() ? arguments.at(i + 1).toInt(&ok) : 0;
            if (!ok || seconds < 0 || seconds > kStepSeconds) {
                return QStringLiteral("--min-validity needs a number of seconds from 0 to %1").arg(kStepSeconds);
            }
            request->minValidity = seconds;
            ++i;
        } else {
            return QStringLiteral("unknown argument \"%1\"").arg(argument);
        }
    }
    if (request->code && request->list) {
        return QStringLiteral("--code and --list cannot be used together");
    }
    if (request->minValidity >= 0 && !request->code) {
        return QStringLiteral("--min-validity goes with --code");
    }
    return {};
}

// Names and accounts come from the server: a control character (a tab would shift the columns, an escape sequence
// would drive the terminal) is printed as a blank.
QString printable(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control) {
            c = QLatin1Char(' ');
        }
    }
    return shown;
}

QString quotedName(const QString& name)
{
    return QLatin1Char('"') + printable(name) + QLatin1Char('"');
}

// The exit status and its complaint.
int complain(QTextStream& err, int status, const QString& text)
{
    err << kPrefix << text << '\n';
    err.flush();
    return status;
}

// The code of the second `t`, or of the next step's first second when fewer than `minValidity` seconds remain of
// the step `t` lies in. Waits at most once: a wait that ends late still prints the code of its moment.
QString codeFor(const QString& tokenKey, int minValidity, const WaitUntil& waitUntil)
{
    qint64 t = Clock::current().secondsSinceEpoch();
    const qint64 remaining = kStepSeconds - (t % kStepSeconds);
    if (remaining < minValidity) {
        waitUntil(t + remaining);
        t = Clock::current().secondsSinceEpoch();
    }
    return TokenGenerator(tokenKey).generateAt(t);
}
} // namespace

bool isRequested(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--code") == 0 || std::strcmp(argv[i], "--list") == 0 ||
            std::strcmp(argv[i], "--min-validity") == 0) {
            return true;
        }
    }
    return false;
}

void sleepUntil(qint64 second)
{
    for (;;) {
        const qint64 left = second * 1000 - Clock::current().now().toMSecsSinceEpoch();
        if (left <= 0) {
            return;
        }
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 1000)));
    }
}

QString usage()
{
    return QStringLiteral("Usage: veltrane-auth --code [NAME] [--min-validity SECONDS]\n"
                          "       veltrane-auth --list\n");
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err, const WaitUntil& waitUntil)
{
    Request request;
    const QString problem = parse(arguments, &request);
    if (!problem.isEmpty()) {
        err << kPrefix << problem << '\n' << usage();
        err.flush();
        return Usage;
    }

    const SharedText& text = SharedText::get();
    const QString dataDir = homeFilePath(text.dataDirRel);
    const QString shownDir = QDir::toNativeSeparators(dataDir);
    // The same refusal as start-up's: a folder another account owns, or a link, is not read.
    const QFileInfo dataDirInfo(dataDir);
    if ((dataDirInfo.exists() || dataDirInfo.isSymLink()) && !Platform::isOwnDirectory(dataDir)) {
        return complain(err, NoSession,
                        QStringLiteral("the folder \"%1\" is not a folder of your own (another account owns it, or "
                                       "it is a link); nothing is read from it.")
                            .arg(shownDir));
    }

    // The identity is collected only once there are bytes to decipher, as start-up's readers ask for the key.
    QString key;
    bool noIdentity = false;
    const auto fileKey = [&key, &noIdentity] {
        if (key.isEmpty() && !noIdentity) {
            const QString identity = DeviceIdentity::collectWithoutTraces(3, Platform::accountName());
            noIdentity = identity.isEmpty();
            key = noIdentity ? QString() : fileKeyFor(identity);
        }
        return key;
    };
    const QString noSession = QStringLiteral("no stored session: sign in with the program first.");
    const QString undecipherable =
        QStringLiteral("the stored files in \"%1\" do not decipher on this computer and account (they were made on "
                       "another one, or are damaged). They are kept as they are; start the program to sign in again.")
            .arg(shownDir);

    const StoredLogin::Presence presence =
        StoredLogin::examine(homeFilePath(text.loginFileRel), homeFilePath(text.resFileRel), fileKey);
    if (noIdentity) {
        return complain(err, NoIdentity, text.msgDeviceInfoFatal);
    }
    if (presence == StoredLogin::Presence::Missing) {
        return complain(err, NoSession, noSession);
    }
    if (presence == StoredLogin::Presence::Undecipherable) {
        return complain(err, NoSession, undecipherable);
    }
    const ResourceStore::Reading reading = ResourceStore::read(homeFilePath(text.resFileRel), fileKey);
    if (noIdentity) {
        return complain(err, NoIdentity, text.msgDeviceInfoFatal);
    }
    if (reading.status == ResourceStore::Reading::Unavailable) {
        return complain(err, NoSession, noSession);
    }
    if (reading.status == ResourceStore::Reading::Corrupted) {
        return complain(err, NoSession, undecipherable);
    }
    // Start-up, too, sends a user whose stored session holds no resource back to the login window.
    if (reading.records.isEmpty()) {
        return complain(err, NoSession,
                        QStringLiteral("the stored session holds no resource; start the program to sign in again."));
    }

    if (request.list) {
        for (const ResourceRecord& record : reading.records) {
            out << printable(record.resourceName) << '\t' << printable(record.userName) << '\t'
                << printable(record.groupName) << '\n';
        }
        out.flush();
        return Printed;
    }

    // Without a name, the first resource: the one the token screen shows first.
    const auto found =
        request.hasName
            ? std::find_if(reading.records.cbegin(), reading.records.cend(),
                           [&request](const ResourceRecord& record) { return record.resourceName == request.name; })
            : reading.records.cbegin();
    if (found == reading.records.cend()) {
        QString names;
        for (const ResourceRecord& record : reading.records) {
            names += QStringLiteral("\n  ") + quotedName(record.resourceName);
        }
        return complain(err, NoSuchResource,
                        QStringLiteral("no stored resource is named %1. The stored resources are:%2")
                            .arg(quotedName(request.name), names));
    }
    if (found->tokenKey == QLatin1String(TokenKey::kExpiredToken)) {
        return complain(err, Expired,
                        quotedName(found->resourceName) + QStringLiteral(": ") +
                            QLatin1String(TokenKey::kTokenExpiredText));
    }
    if (found->tokenKey == QLatin1String(TokenKey::kExpiredRegistration)) {
        return complain(err, Expired,
                        quotedName(found->resourceName) + QStringLiteral(": ") +
                            QLatin1String(TokenKey::kRegistrationExpiredText));
    }
    out << codeFor(found->tokenKey, std::max(request.minValidity, 0), waitUntil) << '\n';
    out.flush();
    return Printed;
}

} // namespace CodeCommand
