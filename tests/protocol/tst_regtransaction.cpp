// Status and registration messages: the decoders on hand-made replies, every result code produced by the
// development server and decoded, and the requests as the server received them, byte for byte.
#include "cipher/AesCipher.h"
#include "core/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "protocol/RegTransaction.h"
#include "support/DevServer.h"
#include "support/FakeCoreServices.h"
#include "support/OpenSslOracle.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
const QString kKey = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNMQWERTY");
const QString kPassword = QStringLiteral("good-pass");

QJsonObject user(const QString& name, const QJsonObject& devices, const QJsonObject& extra = {})
{
    QJsonObject entry{{QStringLiteral("name"), name},
                      {QStringLiteral("password"), kPassword},
                      {QStringLiteral("account"), QStringLiteral("active")},
                      {QStringLiteral("autoRegistrationLimit"), 2},
                      {QStringLiteral("devices"), devices}};
    for (auto it = extra.begin(); it != extra.end(); ++it) {
        entry.insert(it.key(), it.value());
    }
    return entry;
}

QJsonObject forced(const QString& servlet, const QJsonObject& override)
{
    return {{QStringLiteral("overrides"), QJsonObject{{servlet, override}}}};
}

QJsonObject serverData()
{
    const QJsonObject states{{QStringLiteral("DEV-REG"), QStringLiteral("registered")},
                             {QStringLiteral("DEV-PENDING"), QStringLiteral("pending")},
                             {QStringLiteral("DEV-REJECTED"), QStringLiteral("rejected")},
                             {QStringLiteral("DEV-LOCKED"), QStringLiteral("locked")}};
    auto code = [](const char* value) { return QJsonObject{{QStringLiteral("code"), QLatin1String(value)}}; };
    return {{QStringLiteral("users"),
             QJsonArray{
                 user(QStringLiteral("reg.user"), states),
                 user(QStringLiteral("other.user"), {{QStringLiteral("DEV-OTHER"), QStringLiteral("registered")}}),
                 user(QStringLiteral("locked.user"), {}, {{QStringLiteral("account"), QStringLiteral("locked")}}),
                 user(QStringLiteral("full.user"), {{QStringLiteral("DEV-A"), QStringLiteral("registered")}},
                      {{QStringLiteral("autoRegistrationLimit"), 1}}),
                 user(QStringLiteral("stat.minus1"), {}, forced(QStringLiteral("stat"), code("-1"))),
                 user(QStringLiteral("stat.five"), {}, forced(QStringLiteral("stat"), code("5"))),
                 user(QStringLiteral("stat.seven"), {}, forced(QStringLiteral("stat"), code("7"))),
                 user(QStringLiteral("stat.bare11"), {},
                      forced(QStringLiteral("stat"), {{QStringLiteral("reply"), QJsonArray{QStringLiteral("11")}}})),
                 user(QStringLiteral("stat.garbage"), {},
                      forced(QStringLiteral("stat"), {{QStringLiteral("undecipherable"), true}})),
                 user(QStringLiteral("stat.clear"), {},
                      forced(QStringLiteral("stat"), {{QStringLiteral("clear"), QStringLiteral("-1")}})),
                 user(QStringLiteral("reg.twelve"), {}, forced(QStringLiteral("reg"), code("12"))),
                 user(QStringLiteral("reg.eleven"), {}, forced(QStringLiteral("reg"), code("11"))),
                 user(QStringLiteral("reg.minus1"), {}, forced(QStringLiteral("reg"), code("-1"))),
                 user(QStringLiteral("      "), {}),
             }}};
}

} // namespace

class TestRegTransaction : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void decodesReplies_data();
    void decodesReplies();
    void statusCodes_data();
    void statusCodes();
    void registrationCodes_data();
    void registrationCodes();
    void requestsArriveByteExact_data();
    void requestsArriveByteExact();
    void keyIsUpperCaseLetters();

private:
    DevServer server_;
    FakeCoreServices services_;
};

void TestRegTransaction::initTestCase()
{
#ifndef VELTRANE_BUILD_TRUSTS_DEV_CA
    HttpsTransport::setAdditionalCaCertificates(
        QSslCertificate::fromPath(DevServer::certificateDir() + QStringLiteral("/ca.pem")));
#endif
    QVERIFY2(server_.start(serverData()), qPrintable(server_.errorOutput()));
}

void TestRegTransaction::decodesReplies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("code");
    const AesCipher cipher;
    QTest::newRow("code and separator") << cipher.encrypt(kKey, "10\xAB") << QStringLiteral("10");
    QTest::newRow("no separator") << cipher.encrypt(kKey, "11") << QStringLiteral("11");
    QTest::newRow("minus one") << cipher.encrypt(kKey, "-1\xAB") << QStringLiteral("-1");
    QTest::newRow("more fields") << cipher.encrypt(kKey, "20\xAB"
                                                         "a\xAB"
                                                         "b")
                                 << QStringLiteral("20");
    QTest::newRow("0x00 inside field 0") << cipher.encrypt(kKey, QByteArray("2\0"
                                                                            "1\xAB",
                                                                            4))
                                         << QStringLiteral("2");
    QTest::newRow("empty body") << QByteArray() << QString();
    QTest::newRow("15 bytes") << QByteArray(15, 'x') << QString();
    QTest::newRow("clear refusal is deciphered too") << QByteArray("-1") << QString();
    QTest::newRow("separator only") << cipher.encrypt(kKey, "\xAB") << QString();
    QTest::newRow("Latin-1 text") << cipher.encrypt(kKey, "\xE9t\xE9\xAB") << QStringLiteral("\u00e9t\u00e9");
}

void TestRegTransaction::decodesReplies()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, code);
    const RegTransaction transaction(kKey);
    QCOMPARE(transaction.decodeStatusReply(body), code);
    QCOMPARE(transaction.decodeRegReply(body), code);
}

void TestRegTransaction::statusCodes_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("code");
    const QString pw = kPassword;
    QTest::newRow("registered device") << "reg.user" << pw << "DEV-REG" << 10;
    QTest::newRow("device not registered") << "reg.user" << pw << "DEV-NEW" << 11;
    QTest::newRow("awaiting approval") << "reg.user" << pw << "DEV-PENDING" << 20;
    QTest::newRow("registration rejected") << "reg.user" << pw << "DEV-REJECTED" << 21;
    QTest::newRow("device locked") << "reg.user" << pw << "DEV-LOCKED" << 22;
    QTest::newRow("device of another user") << "reg.user" << pw << "DEV-OTHER" << 4;
    QTest::newRow("account locked") << "locked.user" << pw << "DEV-X" << 6;
    QTest::newRow("wrong password") << "reg.user"
                                    << "bad-pass"
                                    << "DEV-REG" << 2;
    QTest::newRow("unknown user") << "nobody.here" << pw << "DEV-REG" << 2;
    QTest::newRow("empty password") << "reg.user" << QString() << "DEV-REG" << 1;
    QTest::newRow("no device information") << "reg.user" << pw << QString() << 3;
    QTest::newRow("forced -1") << "stat.minus1" << pw << "DEV-X" << -1;
    QTest::newRow("forced 5") << "stat.five" << pw << "DEV-X" << 5;
    QTest::newRow("forced 7, no meaning") << "stat.seven" << pw << "DEV-X" << 7;
    QTest::newRow("11 without separator") << "stat.bare11" << pw << "DEV-X" << 11;
    QTest::newRow("undecipherable reply") << "stat.garbage" << pw << "DEV-X" << 0;
    QTest::newRow("clear -1 is not a status refusal") << "stat.clear" << pw << "DEV-X" << 0;
    QTest::newRow("user of six blanks") << "      " << pw << "DEV-X" << 11;
}

void TestRegTransaction::statusCodes()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, device);
    QFETCH(int, code);
    const RegTransaction transaction;
    const ReplyResult result = exchange(server_.servletUrl(SharedText::get().urlStatServlet),
                                        transaction.buildStatusRequest(user, password, device));
    QCOMPARE(result.error, 0);
    QCOMPARE(QVariant(transaction.decodeStatusReply(result.body)).toInt(), code);
}

void TestRegTransaction::registrationCodes_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("code");
    // The device's state in the server's data file afterwards: a forced reply does not stop the bookkeeping.
    QTest::addColumn<QString>("stateAfter");
    QTest::newRow("registered within the limit") << "reg.user"
                                                 << "DEV-FRESH" << 10 << "registered";
    QTest::newRow("already registered") << "reg.user"
                                        << "DEV-REG" << 10 << "registered";
    QTest::newRow("limit reached, sent to the administrator") << "full.user"
                                                              << "DEV-B" << 5 << "pending";
    QTest::newRow("device of another user") << "reg.user"
                                            << "DEV-OTHER" << 4 << "";
    QTest::newRow("account locked") << "locked.user"
                                    << "DEV-X" << 6 << "";
    QTest::newRow("forced 12") << "reg.twelve"
                               << "DEV-12" << 12 << "registered";
    QTest::newRow("forced 11") << "reg.eleven"
                               << "DEV-11" << 11 << "registered";
    QTest::newRow("forced -1") << "reg.minus1"
                               << "DEV-M1" << -1 << "registered";
}

void TestRegTransaction::registrationCodes()
{
    QFETCH(QString, user);
    QFETCH(QString, device);
    QFETCH(int, code);
    QFETCH(QString, stateAfter);
    const RegTransaction transaction;
    const ReplyResult result = exchange(server_.servletUrl(SharedText::get().urlRegServlet),
                                        transaction.buildRegRequest(user, kPassword, device));
    QCOMPARE(result.error, 0);
    QCOMPARE(QVariant(transaction.decodeRegReply(result.body)).toInt(), code);
    const QJsonArray users = server_.data().value(QStringLiteral("users")).toArray();
    for (const QJsonValue& entry : users) {
        if (entry.toObject().value(QStringLiteral("name")).toString() == user) {
            QCOMPARE(entry.toObject().value(QStringLiteral("devices")).toObject().value(device).toString(), stateAfter);
        }
    }
}

void TestRegTransaction::requestsArriveByteExact_data()
{
    QTest::addColumn<bool>("registration");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("expectedStart"); // the plaintext up to and including the separator before the nonce

    QTest::newRow("status, user of six blanks")
        << false << QStringLiteral("      ") << QStringLiteral("good-pass") << QStringLiteral("DEV X")
        << QByteArray("1\xAB      \xABgood-pass\xAB"
                      "DEV X\xAB");
    QTest::newRow("registration, outside ISO 8859-1")
        << true << QStringLiteral("r\u00e9g.user") << QStringLiteral("pa\u20acss \u00fc")
        << QStringLiteral("DEV-\u4e2d")
        << QByteArray("2\xABr\xE9g.user\xABpa?ss \xFC\xAB"
                      "DEV-?\xAB");
}

void TestRegTransaction::requestsArriveByteExact()
{
    QFETCH(bool, registration);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, device);
    QFETCH(QByteArray, expectedStart);
    const RegTransaction transaction;
    const QByteArray body = registration ? transaction.buildRegRequest(user, password, device)
                                         : transaction.buildStatusRequest(user, password, device);
    const QString servletUrl = registration ? SharedText::get().urlRegServlet : SharedText::get().urlStatServlet;
    const int before = int(server_.requests().size());
    QCOMPARE(exchange(server_.servletUrl(servletUrl), body).error, 0);

    const QList<QJsonObject> requests = server_.requests();
    QCOMPARE(requests.size(), before + 1);
    const QJsonObject received = requests.last();
    QCOMPARE(received.value(QStringLiteral("servlet")).toString(),
             registration ? QStringLiteral("reg") : QStringLiteral("stat"));
    const QByteArray wire = QByteArray::fromHex(received.value(QStringLiteral("bodyHex")).toString().toLatin1());
    QCOMPARE(wire, body);

    // The clear prefix is the key; the rest, deciphered by openssl, is the plaintext and its zero padding.
    QCOMPARE(wire.left(32), transaction.regKey().toLatin1());
    const QByteArray deciphered = opensslDecrypt(transaction.regKey(), wire.mid(32));
    QCOMPARE(deciphered.size() % 16, 0);
    const QByteArray nonce = deciphered.mid(expectedStart.size(), 8);
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]{8}$")).match(QString::fromLatin1(nonce)).hasMatch(),
             nonce.constData());
    QByteArray expected = expectedStart + nonce +
                          "\xAB"
                          "Veltrane Auth1.0.7";
    expected.append(QByteArray((16 - expected.size() % 16) % 16, '\0'));
    QCOMPARE(deciphered, expected);

    // And the server read the same fields.
    const QJsonArray fields = received.value(QStringLiteral("fields")).toArray();
    QCOMPARE(fields.size(), 6);
    QCOMPARE(fields.at(1).toString(), QString::fromLatin1(expectedStart.split('\xAB').at(1)));
    QCOMPARE(fields.at(5).toString(), QStringLiteral("Veltrane Auth1.0.7"));
}

void TestRegTransaction::keyIsUpperCaseLetters()
{
    const RegTransaction first;
    const RegTransaction second;
    const QRegularExpression letters(QStringLiteral("^[A-Z]{32}$"));
    QVERIFY(letters.match(first.regKey()).hasMatch());
    // Keys come from the system's generator, not from the clock: two made in the same second differ.
    QVERIFY(first.regKey() != second.regKey());
}

QTEST_GUILESS_MAIN(TestRegTransaction)
#include "tst_regtransaction.moc"
