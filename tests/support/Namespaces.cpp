#include "support/Namespaces.h"

#include <QFile>
#include <QProcess>

#include <unistd.h>

NamespaceRun runInPrivateNamespaces(const QString& script, const QStringList& args, int timeoutMs)
{
    NamespaceRun run;
    if (geteuid() != 0) {
        run.skipReason = QStringLiteral("needs root for private mount and network namespaces");
        return run;
    }
    const QString tools = QStringLiteral(VELTRANE_SOURCE_DIR "/tests/support/namespace-tools.sh");
    const QString wrapped =
        QStringLiteral("set -e\n. \"%1\"\ntrap release_tuns EXIT\n").arg(tools) + script + QLatin1Char('\n');
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("unshare"),
                  QStringList{QStringLiteral("--mount"), QStringLiteral("--net"), QStringLiteral("--propagation"),
                              QStringLiteral("private"), QStringLiteral("sh"), QStringLiteral("-c"), wrapped,
                              QStringLiteral("sh")} +
                      args);
    if (!process.waitForStarted(30000)) {
        run.skipReason = QStringLiteral("unshare is not available");
        return run;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    run.output = process.readAllStandardOutput();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.ok = run.exitCode == 0;
    return run;
}

QString writeMachineIdFixture(const QString& folder, const QByteArray& id)
{
    QFile file(folder + QStringLiteral("/machine-id"));
    if (!file.open(QIODevice::WriteOnly) || file.write(id + '\n') != id.size() + 1) {
        return {};
    }
    file.close();
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        return {};
    }
    return file.fileName();
}

QByteArray hexField(const QByteArray& output, const QByteArray& name)
{
    const QByteArray prefix = name + '=';
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(prefix)) {
            return QByteArray::fromHex(line.mid(prefix.size()));
        }
    }
    return {};
}
