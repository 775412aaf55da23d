#include "cipher/RandomText.h"

#include <QRegularExpression>
#include <QTest>

class TestRandomText : public QObject {
    Q_OBJECT

private slots:
    void alphabetAndLength_data();
    void alphabetAndLength();
    void twoCallsInTheSameSecondDiffer();
    void alphanumericMapping_data();
    void alphanumericMapping();
};

void TestRandomText::alphabetAndLength_data()
{
    QTest::addColumn<bool>("letters");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("transaction key") << true << 32 << QStringLiteral("^[A-Z]{32}$");
    QTest::newRow("letter nonce") << true << 8 << QStringLiteral("^[A-Z]{8}$");
    QTest::newRow("alphanumeric nonce") << false << 8 << QStringLiteral("^[0-9A-Za-z]{8}$");
    QTest::newRow("long alphanumeric") << false << 2000 << QStringLiteral("^[0-9A-Za-z]{2000}$");
    QTest::newRow("zero letters") << true << 0 << QStringLiteral("^$");
    QTest::newRow("negative length") << false << -3 << QStringLiteral("^$");
}

void TestRandomText::alphabetAndLength()
{
    QFETCH(bool, letters);
    QFETCH(int, length);
    QFETCH(QString, pattern);
    const QString text = letters ? RandomText::randomLetters(length) : RandomText::randomAlphanumerics(length);
    QVERIFY2(QRegularExpression(pattern).match(text).hasMatch(), qPrintable(text.left(80)));
}

void TestRandomText::twoCallsInTheSameSecondDiffer()
{
    // Keys come from the system's generator, not from the clock: back-to-back calls must not repeat.
    QVERIFY(RandomText::randomLetters(32) != RandomText::randomLetters(32));
    QVERIFY(RandomText::randomAlphanumerics(8) != RandomText::randomAlphanumerics(8));
}

void TestRandomText::alphanumericMapping_data()
{
    QTest::addColumn<int>("draw");
    QTest::addColumn<QChar>("character");
    QTest::newRow("0") << 0 << QChar(u'0');
    QTest::newRow("9") << 9 << QChar(u'9');
    QTest::newRow("10 is 3 again") << 10 << QChar(u'3');
    QTest::newRow("16 is 9 again") << 16 << QChar(u'9');
    QTest::newRow("17") << 17 << QChar(u'A');
    QTest::newRow("42") << 42 << QChar(u'Z');
    QTest::newRow("43") << 43 << QChar(u'a');
    QTest::newRow("48") << 48 << QChar(u'f');
    QTest::newRow("49 is a again") << 49 << QChar(u'a');
    QTest::newRow("74") << 74 << QChar(u'z');
}

void TestRandomText::alphanumericMapping()
{
    QFETCH(int, draw);
    QFETCH(QChar, character);
    QCOMPARE(RandomText::alphanumericFor(draw), character);
}

QTEST_GUILESS_MAIN(TestRandomText)
#include "tst_randomtext.moc"
