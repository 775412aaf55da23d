// Token codes checked against openssl's SHA-256 as an independent reference, and the development server's
// verify mode accepting the code computed now and refusing others.
#include "protocol/TokenGenerator.h"
#include "support/DevServer.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray opensslSha256Hex(const QByteArray& data)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-r")});
    openssl.write(data);
    openssl.closeWriteChannel();
    openssl.waitForFinished(10000);
    return openssl.readAllStandardOutput().left(64);
}

// The code from openssl's digests, mapped as the program maps hex digits.
QString referenceCode(const QByteArray& key, qint64 seconds)
{
    const QByteArray time = QByteArray::number(seconds);
    const QByteArray second = opensslSha256Hex(opensslSha256Hex(key + time + key + time + '\n'));
    const QByteArray from = "abcdef";
    const QByteArray to = "163425";
    QString code;
    for (int i = 40; i < 46; ++i) {
        const qsizetype mapped = from.indexOf(second.at(i));
        code.append(QLatin1Char(mapped < 0 ? second.at(i) : to.at(mapped)));
    }
    return code;
}

int runVerify(const QString& data, const QString& resource, const QString& code)
{
    QProcess verify;
    verify.start(DevServer::executable(),
                 {QStringLiteral("verify"), QStringLiteral("--data"), data, QStringLiteral("--user"),
                  QStringLiteral("demo.user"), QStringLiteral("--resource"), resource, QStringLiteral("--code"), code});
    verify.waitForFinished(30000);
    return verify.exitStatus() == QProcess::NormalExit ? verify.exitCode() : -1;
}
} // namespace

class TestTokenCode : public QObject {
    Q_OBJECT
private slots:
    void matchesReference_data();
    void matchesReference();
    void verifyMode();
};

void TestTokenCode::matchesReference_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("demo key") << QByteArray("K7Q2M9X4T1B8R6D3") << qint64(1700000000);
    QTest::newRow("empty key") << QByteArray() << qint64(1);
    QTest::newRow("32-bit limit") << QByteArray("abc") << qint64(2147483647);
}

void TestTokenCode::matchesReference()
{
    QFETCH(QByteArray, key);
    QFETCH(qint64, seconds);
    QCOMPARE(TokenGenerator(QString::fromLatin1(key)).generateAt(seconds), referenceCode(key, seconds));
}

void TestTokenCode::verifyMode()
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("demo.json"));
    QVERIFY(QFile::copy(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"), data));
    const QString resource = QStringLiteral("VPN Z\u00fcrich");
    const QString key = QStringLiteral("P5W8N2C7H4L9F1J6");

    QCOMPARE(runVerify(data, resource, TokenGenerator(key).generateAt(QDateTime::currentSecsSinceEpoch())), 0);

    // A code that no second near now gives.
    QSet<QString> near;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (qint64 t = now - 400; t <= now + 400; ++t) {
        near.insert(TokenGenerator(key).generateAt(t));
    }
    QString wrong;
    for (int candidate = 0; wrong.isEmpty(); ++candidate) {
        const QString text = QStringLiteral("%1").arg(candidate, 6, 10, QLatin1Char('0'));
        if (!near.contains(text)) {
            wrong = text;
        }
    }
    QCOMPARE(runVerify(data, resource, wrong), 1);
    // An expired token accepts nothing, not even the code of its sentinel text.
    QCOMPARE(runVerify(data, QStringLiteral("Build Server"), TokenGenerator(QStringLiteral("-1")).generateAt(now)), 1);
    QCOMPARE(runVerify(data, QStringLiteral("No Such Resource"), TokenGenerator(key).generateAt(now)), 1);
}

QTEST_GUILESS_MAIN(TestTokenCode)
#include "tst_tokencode.moc"
