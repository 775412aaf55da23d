#include "protocol/TokenGenerator.h"

#include "support/MockClock.h"

#include <QProcess>
#include <QTest>

// Token codes against an independent computation: printf, head, sha256sum, tr and cut in a shell.
class TestTokenGenerator : public QObject {
    Q_OBJECT

private slots:
    void matchesShell_data();
    void matchesShell();
    void mappingExample();
    void sameSecondSameCode();
};

namespace {
// The text is hashed for as many bytes of its UTF-8 form as it has characters; the second round hashes the hex
// digest; the code is the mapped hex characters 41 to 46 (counting from 1).
QString shellCode(const QString& key, qint64 time)
{
    const QString text = key + QString::number(time) + key + QString::number(time) + QLatin1Char('\n');
    const QString script = QStringLiteral("printf '%s%s%s%s\\n' \"$1\" \"$2\" \"$1\" \"$2\" | head -c \"$3\" "
                                          "| sha256sum | cut -c1-64 | tr -d '\\n' | sha256sum "
                                          "| tr abcdef 163425 | cut -c41-46");
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral("sh"), key, QString::number(time),
                                       QString::number(text.size())});
    shell.waitForFinished();
    return QString::fromLatin1(shell.readAllStandardOutput()).trimmed();
}
} // namespace

void TestTokenGenerator::matchesShell_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<qint64>("time");
    QTest::newRow("letters key") << QStringLiteral("JBSWY3DPEHPK3PXP") << qint64(1700000000);
    QTest::newRow("digits key, early time") << QStringLiteral("1234567890") << qint64(59);
    QTest::newRow("hex key") << QStringLiteral("9f86d081884c7d659a2feaa0c55ad015") << qint64(2000000001);
    QTest::newRow("empty key") << QString() << qint64(1712345678);
    QTest::newRow("epoch") << QStringLiteral("k") << qint64(0);
    QTest::newRow("non-ascii key is cut") << QStringLiteral("clé-ß") << qint64(1699999999);
    QTest::newRow("key beyond latin-1") << QStringLiteral("鍵キー") << qint64(1700000030);
}

void TestTokenGenerator::matchesShell()
{
    QFETCH(QString, key);
    QFETCH(qint64, time);
    const MockClock clock(QDateTime::fromSecsSinceEpoch(time));
    const QString code = TokenGenerator(key).generate();
    QCOMPARE(code, shellCode(key, time));
    QCOMPARE(code.size(), 6);
}

void TestTokenGenerator::mappingExample()
{
    QByteArray hex(64, '0');
    hex.replace(40, 6, "a0f3c9");
    QCOMPARE(TokenGenerator::codeFromHex(hex), QStringLiteral("105339"));
}

void TestTokenGenerator::sameSecondSameCode()
{
    MockClock clock(QDateTime::fromSecsSinceEpoch(1700000000));
    const TokenGenerator generator(QStringLiteral("JBSWY3DPEHPK3PXP"));
    const QString first = generator.generate();
    clock.set(QDateTime::fromMSecsSinceEpoch(1700000000999));
    QCOMPARE(generator.generate(), first);
    clock.advanceSeconds(1);
    QVERIFY(generator.generate() != first);
}

QTEST_GUILESS_MAIN(TestTokenGenerator)
#include "tst_tokengenerator.moc"
