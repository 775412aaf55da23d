// veltrane-devserver: the development and test peer of the program.
//   veltrane-devserver serve --data FILE --listen HOST:PORT --cert PEM --key PEM [--request-log FILE]
//   veltrane-devserver verify --data FILE --user NAME --resource NAME --code DIGITS [--window SECONDS]
#include "DevServer.h"
#include "ServerData.h"
#include "protocol/TokenGenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {
constexpr int kUsage = 2;
constexpr qint64 kDefaultWindowSeconds = 90;

int usage(const QString& problem)
{
    QTextStream err(stderr);
    err << "veltrane-devserver: " << problem << "\n"
        << "usage: veltrane-devserver serve --data FILE --listen HOST:PORT --cert PEM --key PEM"
           " [--request-log FILE]\n"
        << "       veltrane-devserver verify --data FILE --user NAME --resource NAME --code DIGITS"
           " [--window SECONDS]\n";
    return kUsage;
}

// "--name value" pairs after the command; false on a stray word or a missing value.
bool readOptions(const QStringList& arguments, QHash<QString, QString>* options)
{
    for (int i = 2; i < arguments.size(); i += 2) {
        if (!arguments.at(i).startsWith(QLatin1String("--")) || i + 1 >= arguments.size()) {
            return false;
        }
        options->insert(arguments.at(i).mid(2), arguments.at(i + 1));
    }
    return true;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int serve(const QHash<QString, QString>& options, ServerData* data)
{
    const QString listen = options.value(QStringLiteral("listen"));
    const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOk) : 0;
    const QHostAddress address(colon > 0 ? listen.left(colon) : QString());
    if (!portOk || port > 65535 || address.isNull()) {
        return usage(QStringLiteral("--listen wants HOST:PORT with a numeric host address"));
    }
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromData(readFile(options.value(QStringLiteral("cert"))), QSsl::Pem);
    const QByteArray keyPem = readFile(options.value(QStringLiteral("key")));
    QSslKey key(keyPem, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) {
        key = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
    }
    if (certificates.isEmpty() || key.isNull()) {
        return usage(QStringLiteral("cannot read the certificate or the key"));
    }
    auto* server = new DevServer(data, options.value(QStringLiteral("request-log")), QCoreApplication::instance());
    const quint16 bound = server->listen(address, quint16(port), certificates.first(), key);
    if (bound == 0) {
        QTextStream(stderr) << "veltrane-devserver: cannot listen on " << listen << "\n";
        return 1;
    }
    // Tests read this line to learn the port when they ask for port 0.
    QTextStream(stdout) << "listening on " << address.toString() << ":" << bound << Qt::endl;
    return QCoreApplication::exec();
}

int verify(const QHash<QString, QString>& options, const ServerData& data)
{
    const int index = data.userIndex(options.value(QStringLiteral("user")));
    QString tokenKey;
    bool found = false;
    const QJsonArray resources =
        index < 0 ? QJsonArray() : data.user(index).value(QStringLiteral("resources")).toArray();
    for (const QJsonValue& value : resources) {
        if (value.toObject().value(QStringLiteral("name")).toString() == options.value(QStringLiteral("resource"))) {
            tokenKey = value.toObject().value(QStringLiteral("tokenKey")).toString();
            found = true;
            break;
        }
    }
    const QString code = options.value(QStringLiteral("code"));
    bool windowOk = true;
    const qint64 window = options.contains(QStringLiteral("window"))
                              ? options.value(QStringLiteral("window")).toLongLong(&windowOk)
                              : kDefaultWindowSeconds;
    if (!windowOk || window < 0) {
        return usage(QStringLiteral("--window wants a number of seconds"));
    }
    QTextStream out(stdout);
    // "-1" and "-2" mark an expired token or registration: no code is valid for them.
    if (!found || tokenKey == QLatin1String("-1") || tokenKey == QLatin1String("-2") || code.size() != 6) {
        out << "invalid\n";
        return 1;
    }
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (qint64 t = now - window; t <= now + window; ++t) {
        if (TokenGenerator(tokenKey).generateAt(t) == code) {
            out << "valid\n";
            return 0;
        }
    }
    out << "invalid\n";
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    QHash<QString, QString> options;
    if ((command != QLatin1String("serve") && command != QLatin1String("verify")) ||
        !readOptions(arguments, &options)) {
        return usage(QStringLiteral("unknown command or option"));
    }
    const QStringList required = command == QLatin1String("serve")
                                     ? QStringList{QStringLiteral("data"), QStringLiteral("listen"),
                                                   QStringLiteral("cert"), QStringLiteral("key")}
                                     : QStringList{QStringLiteral("data"), QStringLiteral("user"),
                                                   QStringLiteral("resource"), QStringLiteral("code")};
    for (const QString& name : required) {
        if (!options.contains(name)) {
            return usage(QStringLiteral("--%1 is missing").arg(name));
        }
    }
    ServerData data;
    QString error;
    if (!data.load(options.value(QStringLiteral("data")), &error)) {
        QTextStream(stderr) << "veltrane-devserver: " << error << "\n";
        return kUsage;
    }
    return command == QLatin1String("serve") ? serve(options, &data) : verify(options, data);
}
