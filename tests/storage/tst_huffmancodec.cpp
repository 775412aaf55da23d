#include "storage/CodedField.h"
#include "storage/HuffmanCodec.h"

#include <QRandomGenerator>
#include <QTest>

class TestHuffmanCodec : public QObject {
    Q_OBJECT

private slots:
    void compressVectors_data();
    void compressVectors();
    void uncompressCounts_data();
    void uncompressCounts();
    void codedFieldOfAbc();
    void emptyValue();
    void base64Helpers_data();
    void base64Helpers();
    void randomRoundTrips();
    void malformedInputIsRejected_data();
    void malformedInputIsRejected();
    void textBuffersAreBounded();
};

void TestHuffmanCodec::compressVectors_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("compressed");
    // Tree "a" 0, "c" 10, "b" 11: equal counts favour the later node.
    QTest::newRow("abc") << QByteArray("abc") << QByteArray::fromHex("58563b1380");
    // One-leaf tree, then four 0 bits.
    QTest::newRow("aaaa") << QByteArray("aaaa") << QByteArray::fromHex("b080");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    // A single 0x00 byte: leaf bit, eight 0 bits, one code bit.
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << QByteArray::fromHex("8000");
}

void TestHuffmanCodec::compressVectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, compressed);
    QCOMPARE(HuffmanCodec::compress(input), compressed);
    QCOMPARE(HuffmanCodec::uncompress(compressed, input.size()), input);
}

void TestHuffmanCodec::uncompressCounts_data()
{
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("aaaa, 4") << QByteArray::fromHex("b080") << 4 << QByteArray("aaaa");
    QTest::newRow("aaaa, 1") << QByteArray::fromHex("b080") << 1 << QByteArray("a");
    QTest::newRow("abc, 2") << QByteArray::fromHex("58563b1380") << 2 << QByteArray("ab");
    QTest::newRow("spare bits ignored") << QByteArray::fromHex("58563b13bf") << 3 << QByteArray("abc");
    QTest::newRow("spare bits read on") << QByteArray::fromHex("58563b13bf") << 6 << QByteArray("abcbbb");
    QTest::newRow("count 0") << QByteArray::fromHex("58563b1380") << 0 << QByteArray();
    QTest::newRow("negative count") << QByteArray::fromHex("b080") << -1 << QByteArray();
}

void TestHuffmanCodec::uncompressCounts()
{
    QFETCH(QByteArray, compressed);
    QFETCH(int, count);
    QFETCH(QByteArray, expected);
    QCOMPARE(HuffmanCodec::uncompress(compressed, count), expected);
}

void TestHuffmanCodec::codedFieldOfAbc()
{
    const QString base64 = CodedField::toBase64Text(QStringLiteral("abc"));
    QCOMPARE(base64, QStringLiteral("YWJj"));
    const QString coded = HuffmanCodec::encodeText(base64);
    QCOMPARE(coded, QString::fromLatin1(QByteArray::fromHex("2af4a5aab38c")));
    QCOMPARE(CodedField::fromBase64Text(HuffmanCodec::decodeText(coded, base64.size())), QStringLiteral("abc"));
}

void TestHuffmanCodec::emptyValue()
{
    const QString base64 = CodedField::toBase64Text(QString());
    QCOMPARE(base64.size(), 0);
    QCOMPARE(HuffmanCodec::encodeText(base64), QString());
    QCOMPARE(CodedField::fromBase64Text(HuffmanCodec::decodeText(QString(), 0)), QString());
}

void TestHuffmanCodec::base64Helpers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("base64");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("host") << QStringLiteral("proxy.example.com") << QStringLiteral("cHJveHkuZXhhbXBsZS5jb20=")
                          << QStringLiteral("proxy.example.com");
    QTest::newRow("latin-1 kept") << QStringLiteral("Jürgen") << QStringLiteral("SvxyZ2Vu") << QStringLiteral("Jürgen");
    QTest::newRow("outside latin-1 becomes ?")
        << QStringLiteral("p\u20AC") << QStringLiteral("cD8=") << QStringLiteral("p?");
}

void TestHuffmanCodec::base64Helpers()
{
    QFETCH(QString, value);
    QFETCH(QString, base64);
    QFETCH(QString, readBack);
    QCOMPARE(CodedField::toBase64Text(value), base64);
    QCOMPARE(CodedField::fromBase64Text(base64), readBack);
    // Characters that are not base64 are skipped; the value ends at its first 0x00 byte.
    QCOMPARE(CodedField::fromBase64Text(QStringLiteral("Y*W J\nj")), QStringLiteral("abc"));
    QCOMPARE(CodedField::fromBase64Text(QStringLiteral("YQBi")), QStringLiteral("a"));
}

void TestHuffmanCodec::randomRoundTrips()
{
    QRandomGenerator random(20240611);
    for (int round = 0; round < 300; ++round) {
        const int length = round < 4 ? round : int(random.bounded(1025));
        // Narrow alphabets make deep, lopsided trees; wide ones make all 256 leaves.
        const int alphabet = 1 + int(random.bounded(256));
        QByteArray input(length, Qt::Uninitialized);
        for (char& byte : input) {
            byte = char(random.bounded(alphabet));
        }
        const QByteArray compressed = HuffmanCodec::compress(input);
        QCOMPARE(HuffmanCodec::uncompress(compressed, input.size()), input);
    }
    // Skewed counts (Fibonacci-like) give the deepest trees.
    QByteArray skewed;
    int a = 1;
    int b = 1;
    for (int value = 0; value < 14; ++value) {
        skewed.append(QByteArray(a, char('A' + value)));
        const int next = a + b;
        a = b;
        b = next;
    }
    QCOMPARE(HuffmanCodec::uncompress(HuffmanCodec::compress(skewed), skewed.size()), skewed);
}

void TestHuffmanCodec::malformedInputIsRejected_data()
{
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<int>("count");
    // 512 internal-node bits would need more than 511 nodes.
    QTest::newRow("more than 511 nodes") << QByteArray(64, '\0') + QByteArray(64, '\xFF') << 1;
    QTest::newRow("tree runs past the end") << QByteArray::fromHex("00") << 1;
    QTest::newRow("leaf value cut") << QByteArray::fromHex("5856") << 1;
    // "abc" with its six spare bits set: they read as three more "b" (code 11), and a seventh code has no bits.
    QTest::newRow("codes run past the end") << QByteArray::fromHex("58563b13bf") << 7;
    QTest::newRow("count beyond the bits") << QByteArray::fromHex("58563b1380") << 12;
    QTest::newRow("count beyond the bits, one leaf") << QByteArray::fromHex("b080") << 8;
    QTest::newRow("huge count, one leaf") << QByteArray::fromHex("b080") << 2000000000;
}

void TestHuffmanCodec::malformedInputIsRejected()
{
    QFETCH(QByteArray, compressed);
    QFETCH(int, count);
    QCOMPARE(HuffmanCodec::uncompress(compressed, count), QByteArray());
    QCOMPARE(HuffmanCodec::decodeText(QString::fromLatin1(compressed), count), QString());
}

void TestHuffmanCodec::textBuffersAreBounded()
{
    // Compressed and decoded forms of the text layer live in 1024-byte buffers.
    const QString longest(1024, QLatin1Char('x'));
    const QString coded = HuffmanCodec::encodeText(longest);
    QCOMPARE(HuffmanCodec::decodeText(coded, 1024), longest);
    QCOMPARE(HuffmanCodec::encodeText(longest + QLatin1Char('x')), QString());
    QCOMPARE(HuffmanCodec::decodeText(HuffmanCodec::encodeText(QString(1000, QLatin1Char('y'))), 1025), QString());
}

QTEST_GUILESS_MAIN(TestHuffmanCodec)
#include "tst_huffmancodec.moc"
