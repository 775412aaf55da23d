#include "cipher/AesCipher.h"
#include "cipher/FileKey.h"
#include "cipher/PlainText.h"

#include <QProcess>
#include <QTest>

// The envelope of every body and stored file: AES-256-ECB with zero padding, the file key, and the plaintext
// conventions. References are the FIPS-197 vector and the openssl and md5sum programs run as real processes.
class TestAesCipher : public QObject {
    Q_OBJECT

private slots:
    void fips197Vector();
    void matchesOpenssl_data();
    void matchesOpenssl();
    void equalBlocksGiveEqualCiphertext();
    void partialTrailingBlockIsDropped_data();
    void partialTrailingBlockIsDropped();
    void fileKeyMatchesMd5sum_data();
    void fileKeyMatchesMd5sum();
    void requestPlaintext();
    void readingReplyText();
};

namespace {
const QString kKey = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNMQWERTY");

QByteArray runTool(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        qWarning() << program << "did not start";
        return "not started";
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << process.readAllStandardError();
        return "failed";
    }
    return process.readAllStandardOutput();
}

QByteArray zeroPadded(QByteArray data)
{
    if (data.size() % 16 != 0) {
        data.append(QByteArray(16 - data.size() % 16, '\0'));
    }
    return data;
}

QByteArray patternBytes(int length)
{
    QByteArray bytes;
    for (int i = 0; i < length; ++i) {
        bytes.append(char((i * 37 + 11) & 0xFF));
    }
    return bytes;
}
} // namespace

void TestAesCipher::fips197Vector()
{
    // FIPS-197 appendix C.3: the key bytes 00..1f are the characters U+0000..U+001F of the key text.
    const QString key = QString::fromLatin1(QByteArray::fromHex("000102030405060708090a0b0c0d0e0f"
                                                                "101112131415161718191a1b1c1d1e1f"));
    const QByteArray plain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QByteArray cipher = QByteArray::fromHex("8ea2b7ca516745bfeafc49904b496089");
    QCOMPARE(AesCipher().encrypt(key, plain), cipher);
    QCOMPARE(AesCipher().decrypt(key, cipher), plain);
}

void TestAesCipher::matchesOpenssl_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("one block") << 16;
    QTest::newRow("one block and a byte") << 17;
    QTest::newRow("100 bytes") << 100;
}

void TestAesCipher::matchesOpenssl()
{
    QFETCH(int, length);
    const QByteArray data = patternBytes(length);
    const QStringList arguments{QStringLiteral("enc"), QStringLiteral("-aes-256-ecb"), QStringLiteral("-nopad"),
                                QStringLiteral("-K"), QString::fromLatin1(kKey.toLatin1().toHex())};
    const QByteArray expected = runTool(QStringLiteral("openssl"), arguments, zeroPadded(data));

    const QByteArray cipher = AesCipher().encrypt(kKey, data);
    QCOMPARE(cipher.size(), (length + 15) / 16 * 16);
    QCOMPARE(cipher, expected);
    // Decipherment keeps the zero padding.
    QCOMPARE(AesCipher().decrypt(kKey, cipher), zeroPadded(data));
    QCOMPARE(runTool(QStringLiteral("openssl"), QStringList(arguments) << QStringLiteral("-d"), cipher),
             zeroPadded(data));
}

void TestAesCipher::equalBlocksGiveEqualCiphertext()
{
    const QByteArray block = patternBytes(16);
    const QByteArray cipher = AesCipher().encrypt(kKey, block + block);
    QCOMPARE(cipher.left(16), cipher.mid(16));
}

void TestAesCipher::partialTrailingBlockIsDropped_data()
{
    QTest::addColumn<int>("extra");
    QTest::newRow("one stray byte") << 1;
    QTest::newRow("fifteen stray bytes") << 15;
}

void TestAesCipher::partialTrailingBlockIsDropped()
{
    // A body that is not whole blocks (never written by this system) is deciphered up to its last whole block;
    // the stray tail is dropped rather than read past.
    QFETCH(int, extra);
    const QByteArray cipher = AesCipher().encrypt(kKey, patternBytes(32));
    QCOMPARE(AesCipher().decrypt(kKey, cipher + patternBytes(extra)), patternBytes(32));
    QCOMPARE(AesCipher().decrypt(kKey, patternBytes(extra)), QByteArray());
}

void TestAesCipher::fileKeyMatchesMd5sum_data()
{
    QTest::addColumn<QString>("identity");
    QTest::newRow("ascii") << QStringLiteral("Dell Inc.5CG1234XYZjohn");
    QTest::newRow("non-ascii hashed as utf-8") << QStringLiteral("Société Générale ÉÇ-42 ÅsaØ");
    QTest::newRow("empty") << QString();
}

void TestAesCipher::fileKeyMatchesMd5sum()
{
    QFETCH(QString, identity);
    const QByteArray md5sum = runTool(QStringLiteral("md5sum"), {}, identity.toUtf8()).left(32);
    QCOMPARE(fileKeyFor(identity), QString::fromLatin1(md5sum));
}

void TestAesCipher::requestPlaintext()
{
    const QByteArray plaintext =
        PlainText::buildRequest("3", {QStringLiteral("jürgen"), QString(), QStringLiteral("a\u20ACb")});
    QCOMPARE(plaintext, QByteArray("3\xAB"
                                   "j\xFCrgen\xAB\xAB"
                                   "a?b"));
}

void TestAesCipher::readingReplyText()
{
    const QByteArray reply("10\xAB"
                           "S\xE9\xAB\xAB"
                           "x\0rest",
                           13);
    const QStringList fields = PlainText::fields(PlainText::readText(reply));
    QCOMPARE(fields, QStringList({QStringLiteral("10"), QStringLiteral("S\u00E9"), QString(), QStringLiteral("x")}));
    QCOMPARE(PlainText::resultCode(fields), 10);
    QCOMPARE(PlainText::resultCode({QStringLiteral("abc")}), 0);
}

QTEST_GUILESS_MAIN(TestAesCipher)
#include "tst_aescipher.moc"
