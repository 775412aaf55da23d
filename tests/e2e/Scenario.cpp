#include "Scenario.h"

#include "support/DevServer.h"
#include "support/TestHome.h"

#include <QDir>
#include <QJsonArray>
#include <QRegularExpression>

namespace Scenario {

std::unique_ptr<TestHome> freshHome()
{
    auto home = std::make_unique<TestHome>();
    QDir(home->dataDir()).removeRecursively();
    return home;
}

std::unique_ptr<DevServer> serverOnProgramAddress()
{
    auto server = std::make_unique<DevServer>();
    server->setListenAddress(QStringLiteral("127.0.0.1:8443"));
    return server;
}

bool startServer(DevServer& server, const QJsonObject& data)
{
    if (!server.start(data)) {
        qWarning("the development server did not start: %s", qPrintable(server.errorOutput()));
        return false;
    }
    return true;
}

std::unique_ptr<ProgramRun> startProgram(const Desktop::Session& desktop, const QString& home,
                                         Desktop::Window* container)
{
    auto program = std::make_unique<ProgramRun>(desktop, home);
    if (!program->start()) {
        return nullptr;
    }
    const Desktop::Window window = program->waitForContainer(kStartTimeoutMs);
    if (!window.isValid()) {
        qWarning("no container window (%s); the program wrote:\n%s", qPrintable(program->describe()),
                 program->output().constData());
        return nullptr;
    }
    if (container) {
        *container = window;
    }
    return program;
}

bool signIn(const Desktop::Session& desktop, const Desktop::Window& container, const QString& user,
            const QString& password)
{
    return desktop.focus(container) && desktop.type(user) && desktop.key(QStringLiteral("Return")) &&
           desktop.type(password) && desktop.key(QStringLiteral("Return"));
}

QString waitForClipboardCode(const Desktop::Session& desktop, const QString& previous)
{
    static const QRegularExpression sixDigits(QStringLiteral("^\\d{6}$"));
    QString code;
    Desktop::waitUntil(
        [&] {
            code = desktop.clipboard().trimmed();
            return sixDigits.match(code).hasMatch() && code != previous;
        },
        5000);
    return code;
}

QString copyCodeByKeys(const Desktop::Session& desktop, const Desktop::Window& container, const QString& previous)
{
    desktop.focus(container);
    desktop.key(QStringLiteral("ctrl+c"));
    return waitForClipboardCode(desktop, previous);
}

void reportServer(const DevServer& server)
{
    // A scenario without the server, or one whose start failed (and said why), has nothing to add.
    if (server.port() == 0) {
        return;
    }
    qInfo("the development server on port %u received:", unsigned(server.port()));
    for (const QJsonObject& request : server.requests()) {
        QStringList fields;
        for (const QJsonValue& field : request.value(QStringLiteral("fields")).toArray()) {
            fields.append(field.toString());
        }
        qInfo("  %s: %s", qPrintable(request.value(QStringLiteral("servlet")).toString()),
              qPrintable(fields.join(QStringLiteral(" | "))));
    }
    const QString errors = server.errorOutput().trimmed();
    if (!errors.isEmpty()) {
        qInfo("and wrote: %s", qPrintable(errors));
    }
}

bool serverAcceptsCode(const DevServer& server, const QString& resource, const QString& code)
{
    const Desktop::CommandResult verdict = Desktop::run(
        QProcessEnvironment::systemEnvironment(), DevServer::executable(),
        {QStringLiteral("verify"), QStringLiteral("--data"), server.dataFilePath(), QStringLiteral("--user"), kDemoUser,
         QStringLiteral("--resource"), resource, QStringLiteral("--code"), code});
    return verdict.exitCode == 0;
}

} // namespace Scenario
