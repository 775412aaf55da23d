#include "protocol/ServerDate.h"

#include <QTest>

// The server's clock from a reply's Date header, in the three forms HTTP allows, and the month abbreviations.
class TestTokenServerDate : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void nameToMonth_data();
    void nameToMonth();
    void invalidServerTimeMakesNoDifference();
};

namespace {
QDateTime utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}
} // namespace

void TestTokenServerDate::parse_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime nov94 = utc(1994, 11, 6, 8, 49, 37);
    QTest::newRow("RFC 1123") << QByteArray("Sun, 06 Nov 1994 08:49:37 GMT") << nov94;
    QTest::newRow("RFC 850, 94 lies more than 50 years ahead as 2094")
        << QByteArray("Sunday, 06-Nov-94 08:49:37 GMT") << nov94;
    QTest::newRow("asctime") << QByteArray("Sun Nov  6 08:49:37 1994") << nov94;
    QTest::newRow("RFC 850 in 2026") << QByteArray("Thursday, 10-Dec-26 04:44:07 GMT") << utc(2026, 12, 10, 4, 44, 7);
    QTest::newRow("RFC 850 exactly 50 years ahead stays in this century")
        << QByteArray("Thursday, 10-Dec-76 04:44:07 GMT") << utc(2076, 12, 10, 4, 44, 7);
    QTest::newRow("RFC 850 a second beyond 50 years is the last century")
        << QByteArray("Thursday, 10-Dec-76 04:44:08 GMT") << utc(1976, 12, 10, 4, 44, 8);
    QTest::newRow("bytes after a NUL do not count") << QByteArray("Sun, 06 Nov 1994 08:49:37 GMT\0junk", 35) << nov94;
    QTest::newRow("no header") << QByteArray() << QDateTime();
    QTest::newRow("RFC 1123 without seconds") << QByteArray("Sun, 06 Nov 1994 08:49 GMT") << QDateTime();
    QTest::newRow("RFC 1123 unknown month") << QByteArray("Sun, 06 Xyz 1994 08:49:37 GMT") << QDateTime();
    QTest::newRow("RFC 1123 lower-case month") << QByteArray("Sun, 06 nov 1994 08:49:37 GMT") << QDateTime();
    QTest::newRow("RFC 1123 day 31 of November") << QByteArray("Sun, 31 Nov 1994 08:49:37 GMT") << QDateTime();
    QTest::newRow("RFC 1123 overlong number")
        << QByteArray("Sun, 99999999999999999999 Nov 1994 08:49:37 GMT") << QDateTime();
    QTest::newRow("RFC 1123 hour 25") << QByteArray("Sun, 06 Nov 1994 25:49:37 GMT") << QDateTime();
    QTest::newRow("comma at the end") << QByteArray("Sunday,") << QDateTime();
    QTest::newRow("comma first") << QByteArray(",") << QDateTime();
    QTest::newRow("asctime garbage") << QByteArray("not a date") << QDateTime();
}

void TestTokenServerDate::parse()
{
    QFETCH(QByteArray, header);
    QFETCH(QDateTime, expected);
    const QDateTime now = utc(2026, 12, 10, 4, 44, 7);
    const QDateTime parsed = ServerDate::parse(header, now);
    QCOMPARE(parsed.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(parsed, expected);
        QCOMPARE(parsed.timeSpec(), Qt::UTC);
        QCOMPARE(parsed.date(), expected.date());
        QCOMPARE(parsed.time(), expected.time());
    }
}

void TestTokenServerDate::nameToMonth_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("month");
    const char* const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        QTest::newRow(names[i]) << QByteArray(names[i]) << i + 1;
    }
    QTest::newRow("J-u with another third letter") << QByteArray("Jux") << 0;
    QTest::newRow("lower-case jan") << QByteArray("jan") << 0;
    QTest::newRow("any text starting with D") << QByteArray("Dxyz") << 12;
    QTest::newRow("Ma ends before its third letter") << QByteArray("Ma") << 0;
    QTest::newRow("Ju ends before its third letter") << QByteArray("Ju") << 0;
    QTest::newRow("J alone") << QByteArray("J") << 0;
    QTest::newRow("A with another second letter") << QByteArray("Ax") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
}

void TestTokenServerDate::nameToMonth()
{
    QFETCH(QByteArray, name);
    QFETCH(int, month);
    // Exactly the name and its terminator: a read past them would show under the sanitizers.
    QScopedArrayPointer<char> exact(new char[name.size() + 1]);
    std::copy(name.constData(), name.constData() + name.size() + 1, exact.data());
    QCOMPARE(ServerDate::nameToMonth(exact.data()), month);
}

void TestTokenServerDate::invalidServerTimeMakesNoDifference()
{
    const QDateTime local = utc(2026, 12, 10, 4, 44, 7);
    QCOMPARE(ServerDate::nameToMonth(nullptr), 0);
    QCOMPARE(ServerDate::secondsDifference(local, QDateTime()), 0);
    QCOMPARE(ServerDate::secondsDifference(local, local.addSecs(121)), 121);
    QCOMPARE(ServerDate::secondsDifference(local, local.addSecs(-121)), -121);
}

QTEST_GUILESS_MAIN(TestTokenServerDate)
#include "tst_token_serverdate.moc"
