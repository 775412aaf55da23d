// Authentication and synchronisation messages: the decoders on hand-made replies (result, log lines, boxes,
// session and stored files), and the program's own requests against the development server, byte for byte.
#include "cipher/AesCipher.h"
#include "cipher/PlainText.h"
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/RegTransaction.h"
#include "protocol/TokenGenerator.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "support/FakeCoreServices.h"
#include "support/OpenSslOracle.h"
#include "support/TestHome.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
const QString kSessionKey = QStringLiteral("SESSIONKEYSESSIONKEYSESSIONKEYSE");
const QString kAuthPrefix = QStringLiteral("Auth Server Response : ");
const QString kSyncPrefix = QStringLiteral("Sync Server Response : ");
const QString kSyncStart = QStringLiteral("Sync Server Decrypted Response  Start!");
const QString kSyncVerify = QStringLiteral("Sync Server Decrypted Response  verify!");
const QString kSyncDeciphered = QStringLiteral("SyncTransResponceReturn.data() !");
const QString kSyncSuccess = QStringLiteral("Sync Server Decrypted Sucess !");

QByteArray sealed(const QByteArray& plaintext)
{
    return AesCipher().encrypt(kSessionKey, plaintext);
}

// One resource record ("R<n>") sealed under the session key, with n the first number whose ciphertext starts with
// 0x00 byte: a valid reply that, read as text, looks empty.
QByteArray sealedStartingWithNul()
{
    for (int n = 0;; ++n) {
        const QByteArray reply = sealed("10\xABR" + QByteArray::number(n) + "\xB7u\xB7k\xB7g\xBB");
        if (reply.startsWith('\0')) {
            return reply;
        }
    }
}

using Boxes = QList<QPair<QString, int>>;
} // namespace

class TestAuthTransaction : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void authReplies_data();
    void authReplies();
    void syncReplies_data();
    void syncReplies();
    void syncReplyRead_data();
    void syncReplyRead();

    void requestsArriveByteExact_data();
    void requestsArriveByteExact();
    void serverResultCodes_data();
    void serverResultCodes();
    void firstSignInChain();

private:
    std::unique_ptr<TestHome> home_;
    std::unique_ptr<FakeCoreServices> services_;
    std::unique_ptr<ResourceStore> store_;
};

void TestAuthTransaction::init()
{
    home_ = std::make_unique<TestHome>();
    services_ = std::make_unique<FakeCoreServices>();
    store_ = std::make_unique<ResourceStore>();
    setResourceStore(store_.get());
    resourceList().clear();
}

void TestAuthTransaction::cleanup()
{
    setResourceStore(nullptr);
    resourceList().clear();
    store_.reset();
    services_.reset();
    home_.reset();
}

void TestAuthTransaction::authReplies_data()
{
    const SharedText& t = SharedText::get();
    QTest::addColumn<QByteArray>("body");
    // What the reply said: the session opened, a refusal, or nothing readable (which the login window tells).
    QTest::addColumn<int>("outcome");
    const int opened = int(AuthTransaction::AuthOutcome::Opened);
    const int refused = int(AuthTransaction::AuthOutcome::Refused);
    const int unreadable = int(AuthTransaction::AuthOutcome::Unreadable);
    QTest::addColumn<QString>("sessionId");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("10 opens the session")
        << sealed("10\xAB"
                  "SID-42")
        << opened << QStringLiteral("SID-42") << QStringList{kAuthPrefix + t.msgLoginSuccess};
    QTest::newRow("10 with nothing after the separator")
        << sealed("10\xAB") << opened << QString() << QStringList{kAuthPrefix + t.msgLoginSuccess};
    QTest::newRow("0 wrong credentials") << sealed("0\xAB"
                                                   "SID-0")
                                         << refused << QStringLiteral("SID-0")
                                         << QStringList{kAuthPrefix + t.msgEnterCredentials};
    QTest::newRow("1 device of another user")
        << sealed("1\xAB") << refused << QString() << QStringList{kAuthPrefix + t.msgDeviceOtherUser};
    QTest::newRow("6 account locked, not logged") << sealed("6\xAB") << refused << QString() << QStringList();
    QTest::newRow("undefined code, not logged") << sealed("7\xAB") << refused << QString() << QStringList();
    QTest::newRow("field 0 not a number is unreadable") << sealed("OK\xAB"
                                                                  "X")
                                                        << unreadable << QStringLiteral("X") << QStringList();
    QTest::newRow("-1 in clear") << QByteArray("-1") << refused << QStringLiteral("old") << QStringList();
    QTest::newRow("no separator after deciphering")
        << sealed("10") << unreadable << QStringLiteral("old")
        << QStringList{QStringLiteral("Auth Server Decrypted Response  Failure!")};
    QTest::newRow("wrong key") << AesCipher().encrypt(QString(32, QLatin1Char('Z')), "10\xAB"
                                                                                     "S")
                               << unreadable << QStringLiteral("old")
                               << QStringList{QStringLiteral("Auth Server Decrypted Response  Failure!")};
}

void TestAuthTransaction::authReplies()
{
    QFETCH(QByteArray, body);
    QFETCH(int, outcome);
    QFETCH(QString, sessionId);
    QFETCH(QStringList, log);
    AuthTransaction session;
    session.loginUser = QStringLiteral("demo.user");
    session.sessionKey = kSessionKey;
    session.sessionId = QStringLiteral("old");
    QCOMPARE(int(session.decodeAuth(body)), outcome);
    const bool opened = outcome == int(AuthTransaction::AuthOutcome::Opened);
    QCOMPARE(session.sessionId, sessionId);
    QCOMPARE(services_->logLines, log);
    // Only an opened session rewrites the stored login.
    QCOMPARE(QFile::exists(session.loginFilePath()), opened);
    if (opened) {
        AuthTransaction restored;
        QCOMPARE(restored.sessionId, sessionId);
        QCOMPARE(restored.sessionKey, kSessionKey);
        QCOMPARE(restored.loginUser, QStringLiteral("demo.user"));
    }
}

void TestAuthTransaction::syncReplies_data()
{
    const SharedText& t = SharedText::get();
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<Boxes>("boxes");
    // The names in resourceList afterwards, and in res.dat ("deleted" when the file is gone).
    QTest::addColumn<QStringList>("listNames");
    QTest::addColumn<QStringList>("storedNames");

    const QStringList verified{kSyncStart, kSyncVerify, kSyncDeciphered, kSyncSuccess};
    const QStringList old{QStringLiteral("Old")};
    QTest::newRow("empty body") << QByteArray() << false
                                << QStringList{kSyncStart, QStringLiteral("Sync Server Decrypted Response Failure!")}
                                << Boxes{{t.msgServerUnableToProcess, 2}} << old << old;
    QTest::newRow("-2 in clear") << QByteArray("-2") << false
                                 << QStringList{kSyncStart, QStringLiteral("Sync Server Decrypted Response Failure!")}
                                 << Boxes{{t.msgServerUnableToProcess, 2}} << old << old;
    QTest::newRow("no separator after deciphering")
        << sealed("10") << false
        << QStringList{kSyncStart, kSyncVerify, kSyncDeciphered,
                       QStringLiteral("Sync Server Decrypted Response  Failure!")}
        << Boxes{{QStringLiteral("Decrypted Failure"), 2}} << old << old;
    QTest::newRow("0 wrong credentials") << sealed("0\xAB") << false
                                         << verified + QStringList{kSyncPrefix + t.msgEnterCredentials}
                                         << Boxes{{t.msgEnterCredentials, 2}} << old << old;
    QTest::newRow("1 session expired") << sealed("1\xAB") << false
                                       << verified + QStringList{kSyncPrefix + t.msgSessionExpired}
                                       << Boxes{{t.msgSessionExpired, 1}} << old << old;
    QTest::newRow("2 device of another user")
        << sealed("2\xAB") << false << verified + QStringList{kSyncPrefix + t.msgDeviceOtherUser}
        << Boxes{{t.msgDeviceOtherUser, 2}} << old << old;
    QTest::newRow("undefined code") << sealed("3\xAB"
                                              "x")
                                    << false << verified << Boxes{} << old << old;
    const QStringList abc{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    QTest::newRow("10 installs the well-formed records") << sealed("10\xAB"
                                                                   "A\xB7u\xB7k1\xB7g\xBB"
                                                                   "B\xB7u\xB7k2\xB7g\xBB"
                                                                   "D\xB7u\xB7k\xB7g\xB7"
                                                                   "extra\xBB"
                                                                   "C\xB7u\xB7k3\xB7g\xBB")
                                                         << true << verified << Boxes{} << abc << abc;
    const QByteArray nulFirst = sealedStartingWithNul();
    const QString nulFirstName =
        QString::fromLatin1(AesCipher().decrypt(kSessionKey, nulFirst).mid(3).split('\xB7').first());
    QTest::newRow("10 whose ciphertext starts with 0x00")
        << nulFirst << true << verified << Boxes{} << QStringList{nulFirstName} << QStringList{nulFirstName};
    QTest::newRow("10 with one record and no end byte")
        << sealed("10\xAB"
                  "A\xB7u\xB7k\xB7g")
        << true << verified << Boxes{} << QStringList{QStringLiteral("A")} << QStringList{QStringLiteral("A")};
    QTest::newRow("10 with only malformed records") << sealed("10\xAB"
                                                              "x\xB7y\xBB")
                                                    << true << verified << Boxes{} << QStringList() << QStringList();
    QTest::newRow("10 without records") << sealed("10\xAB") << false << verified << Boxes{{t.msgTokenNotFound, 1}}
                                        << old << QStringList{QStringLiteral("deleted")};
}

void TestAuthTransaction::syncReplies()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, installed);
    QFETCH(QStringList, log);
    QFETCH(Boxes, boxes);
    QFETCH(QStringList, listNames);
    QFETCH(QStringList, storedNames);

    const QList<ResourceRecord> old{
        {QStringLiteral("Old"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("k")}};
    store_->save(old);
    resourceList() = old;
    AuthTransaction session;
    session.sessionKey = kSessionKey;

    QCOMPARE(session.decodeSyncReply(body), installed);
    QCOMPARE(services_->logLines, log);
    QCOMPARE(services_->messages, boxes);
    QStringList names;
    for (const ResourceRecord& record : resourceList()) {
        names << record.resourceName;
    }
    QCOMPARE(names, listNames);
    QStringList stored;
    if (!QFile::exists(store_->path())) {
        stored << QStringLiteral("deleted");
    }
    for (const ResourceRecord& record : store_->load()) {
        stored << record.resourceName;
    }
    QCOMPARE(stored, storedNames);
    QCOMPARE(services_->loginStatusResets, storedNames == QStringList{QStringLiteral("deleted")} ? 1 : 0);
}

void TestAuthTransaction::syncReplyRead_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<QByteArray>("payload");
    using O = SyncReply::Outcome;
    QTest::newRow("empty body") << QByteArray() << int(O::Unprocessable) << -1 << 0 << QByteArray();
    QTest::newRow("-2 in clear") << QByteArray("-2") << int(O::Unprocessable) << -1 << 0 << QByteArray();
    QTest::newRow("no separator after deciphering")
        << sealed("10") << int(O::Undecipherable) << -1 << 0 << QByteArray();
    QTest::newRow("0 wrong credentials") << sealed("0\xAB") << int(O::EnterCredentials) << 0 << 2 << QByteArray();
    QTest::newRow("1 session expired") << sealed("1\xAB") << int(O::SessionExpired) << 1 << 2 << QByteArray();
    QTest::newRow("2 device of another user") << sealed("2\xAB") << int(O::DeviceOtherUser) << 2 << 2 << QByteArray();
    QTest::newRow("undefined code") << sealed("3\xAB"
                                              "x")
                                    << int(O::Ignored) << 3 << 2 << QByteArray();
    QTest::newRow("10 with records") << sealed("10\xAB"
                                               "A\xB7u\xB7k\xB7g\xBB")
                                     << int(O::Resources) << 10 << 2 << QByteArray("A\xB7u\xB7k\xB7g\xBB");
    // The records are cut from the bytes: a 0x00 inside them ends the text, never the payload.
    QTest::newRow("10 with a 0x00 in the records")
        << sealed(QByteArray("10\xAB"
                             "A\xB7u\0v\xB7k\xB7g",
                             12))
        << int(O::Resources) << 10 << 2 << QByteArray("A\xB7u\0v\xB7k\xB7g", 9);
    QTest::newRow("10 without records") << sealed("10\xAB") << int(O::NoResources) << 10 << 2 << QByteArray();
    const QByteArray nulFirst = sealedStartingWithNul();
    QTest::newRow("10 whose ciphertext starts with 0x00")
        << nulFirst << int(O::Resources) << 10 << 2
        << AesCipher().decrypt(kSessionKey, nulFirst).mid(3).split('\0').first();
}

void TestAuthTransaction::syncReplyRead()
{
    QFETCH(QByteArray, body);
    QFETCH(int, outcome);
    QFETCH(int, code);
    QFETCH(int, fieldCount);
    QFETCH(QByteArray, payload);
    const QList<ResourceRecord> old{
        {QStringLiteral("Old"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("k")}};
    store_->save(old);
    resourceList() = old;
    AuthTransaction session;
    session.sessionKey = kSessionKey;

    const SyncReply reply = session.readSyncReply(body);
    QCOMPARE(int(reply.outcome), outcome);
    QCOMPARE(reply.code, code);
    QCOMPARE(reply.fields.size(), fieldCount);
    // The deciphered bytes end in the cipher's zero padding, which the records' parser skips.
    QByteArray records = reply.payload;
    while (records.endsWith('\0')) {
        records.chop(1);
    }
    QCOMPARE(records, payload);
    // Reading has no effect: no log line, no box, the list and res.dat as they were.
    QVERIFY(services_->logLines.isEmpty());
    QVERIFY(services_->messages.isEmpty());
    QCOMPARE(services_->loginStatusResets, 0);
    QCOMPARE(resourceList(), old);
    QCOMPARE(store_->load(), old);
}

void TestAuthTransaction::requestsArriveByteExact_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QByteArray>("identityBytes");
    QTest::newRow("plain") << QStringLiteral("demo.user") << QStringLiteral("demo-pass-2026")
                           << QStringLiteral("LENOVO*PF1NKFHN*tester") << QByteArray("LENOVO*PF1NKFHN*tester");
    QTest::newRow("six blanks and Latin-1") << QStringLiteral("      ") << QStringLiteral("pässwörd")
                                            << QStringLiteral("Zürich*SN*tester") << QByteArray("Z\xFCrich*SN*tester");
    QTest::newRow("outside ISO 8859-1 becomes ?")
        << QStringLiteral("demo.user") << QStringLiteral("pass\u20ACword") << QStringLiteral("\u6771\u829D*SN*tester")
        << QByteArray("??*SN*tester");
}

void TestAuthTransaction::requestsArriveByteExact()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, identity);
    QFETCH(QByteArray, identityBytes);
    DevServer server;
    QVERIFY2(server.startWithFile(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json")),
             qPrintable(server.errorOutput()));
    const SharedText& t = SharedText::get();
    AuthTransaction session;
    const QByteArray authBody = session.buildAuthRequest(user, password, identity);
    QVERIFY(exchange(server.servletUrl(t.urlAuthServlet), authBody).error == 0);
    session.sessionId = QStringLiteral("SESSION-ID-0123456789ABC");
    const QByteArray syncBody = session.buildSyncRequest(identity);
    QVERIFY(exchange(server.servletUrl(t.urlSyncServlet), syncBody).error == 0);

    const QList<QJsonObject> requests = server.requests();
    QCOMPARE(requests.size(), 2);
    // The session key in clear, then the plaintext enciphered with it, as the server received them.
    const QByteArray authReceived =
        QByteArray::fromHex(requests.at(0).value(QStringLiteral("bodyHex")).toString().toLatin1());
    QCOMPARE(authReceived, authBody);
    QVERIFY(QRegularExpression(QStringLiteral("^[A-Z]{32}$")).match(session.sessionKey).hasMatch());
    QCOMPARE(authReceived.left(32), session.sessionKey.toLatin1());
    const QByteArray authPlain = PlainText::untilNul(opensslDecrypt(session.sessionKey, authReceived.mid(32)));
    const QList<QByteArray> authFields = authPlain.split('\xAB');
    QCOMPARE(authFields.size(), 6);
    QCOMPARE(authFields.at(0), QByteArray("3"));
    QCOMPARE(authFields.at(1), PlainText::latin1(user));
    QCOMPARE(authFields.at(2), PlainText::latin1(password));
    QCOMPARE(authFields.at(3), identityBytes);
    QCOMPARE(authFields.at(4), session.sessionKey.toLatin1());
    QVERIFY(
        QRegularExpression(QStringLiteral("^[0-9A-Za-z]{8}$")).match(QString::fromLatin1(authFields.at(5))).hasMatch());

    // The session identifier in clear, then the plaintext enciphered with the session key.
    const QByteArray syncReceived =
        QByteArray::fromHex(requests.at(1).value(QStringLiteral("bodyHex")).toString().toLatin1());
    QCOMPARE(syncReceived, syncBody);
    QCOMPARE(syncReceived.left(24), QByteArray("SESSION-ID-0123456789ABC"));
    const QList<QByteArray> syncFields =
        PlainText::untilNul(opensslDecrypt(session.sessionKey, syncReceived.mid(24))).split('\xAB');
    QCOMPARE(syncFields.size(), 5);
    QCOMPARE(syncFields.at(0), QByteArray("4"));
    QCOMPARE(syncFields.at(1), PlainText::latin1(user));
    QCOMPARE(syncFields.at(2), QByteArray("SESSION-ID-0123456789ABC"));
    QCOMPARE(syncFields.at(3), identityBytes);
    QVERIFY(
        QRegularExpression(QStringLiteral("^[0-9A-Za-z]{8}$")).match(QString::fromLatin1(syncFields.at(4))).hasMatch());
}

void TestAuthTransaction::serverResultCodes_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QJsonObject>("overrides");
    QTest::addColumn<bool>("authOpened");
    QTest::addColumn<int>("syncError");
    QTest::addColumn<bool>("syncInstalled");
    QTest::addColumn<QString>("lastLog");
    const SharedText& t = SharedText::get();
    auto code = [](const char* value) { return QJsonObject{{QStringLiteral("code"), QLatin1String(value)}}; };
    const QString demo = QStringLiteral("demo.user");
    const QString pass = QStringLiteral("demo-pass-2026");
    QTest::newRow("signed in and synchronised") << demo << pass << QJsonObject{} << true << 0 << true << kSyncSuccess;
    QTest::newRow("wrong password") << demo << QStringLiteral("wrong-pass") << QJsonObject{} << false << 0 << false
                                    << kAuthPrefix + t.msgEnterCredentials;
    QTest::newRow("auth forced 1") << demo << pass << QJsonObject{{QStringLiteral("auth"), code("1")}} << false << 0
                                   << false << kAuthPrefix + t.msgDeviceOtherUser;
    QTest::newRow("auth refused in clear")
        << demo << pass
        << QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("clear"), QStringLiteral("-1")}}}} << false
        << 0 << false << QString();
    QTest::newRow("sync forced 0") << demo << pass << QJsonObject{{QStringLiteral("sync"), code("0")}} << true << 0
                                   << false << kSyncPrefix + t.msgEnterCredentials;
    QTest::newRow("sync forced 1") << demo << pass << QJsonObject{{QStringLiteral("sync"), code("1")}} << true << 0
                                   << false << kSyncPrefix + t.msgSessionExpired;
    QTest::newRow("sync forced 2") << demo << pass << QJsonObject{{QStringLiteral("sync"), code("2")}} << true << 0
                                   << false << kSyncPrefix + t.msgDeviceOtherUser;
    QTest::newRow("sync refused in clear")
        << demo << pass
        << QJsonObject{{QStringLiteral("sync"), QJsonObject{{QStringLiteral("clear"), QStringLiteral("-2")}}}} << true
        << 0 << false << QStringLiteral("Sync Server Decrypted Response Failure!");
    QTest::newRow("sync undecipherable") << demo << pass
                                         << QJsonObject{{QStringLiteral("sync"),
                                                         QJsonObject{{QStringLiteral("undecipherable"), true}}}}
                                         << true << 0 << false
                                         << QStringLiteral("Sync Server Decrypted Response  Failure!");
    QTest::newRow("sync HTTP 500 is an error, not a body")
        << demo << pass << QJsonObject{{QStringLiteral("sync"), QJsonObject{{QStringLiteral("httpStatus"), 500}}}}
        << true << int(QNetworkReply::InternalServerError) << false << kAuthPrefix + t.msgLoginSuccess;
}

void TestAuthTransaction::serverResultCodes()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QJsonObject, overrides);
    QFETCH(bool, authOpened);
    QFETCH(int, syncError);
    QFETCH(bool, syncInstalled);
    QFETCH(QString, lastLog);
    const QString identity = QStringLiteral("DEV-REGISTERED");
    QFile demoFile(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"));
    QVERIFY(demoFile.open(QIODevice::ReadOnly));
    QJsonObject data = QJsonDocument::fromJson(demoFile.readAll()).object();
    QJsonArray users = data.value(QStringLiteral("users")).toArray();
    QJsonObject demo = users.at(0).toObject();
    demo.insert(QStringLiteral("devices"), QJsonObject{{identity, QStringLiteral("registered")}});
    demo.insert(QStringLiteral("overrides"), overrides);
    users.replace(0, demo);
    data.insert(QStringLiteral("users"), users);
    DevServer server;
    QVERIFY2(server.start(data), qPrintable(server.errorOutput()));

    const SharedText& t = SharedText::get();
    AuthTransaction session;
    const ReplyResult auth =
        exchange(server.servletUrl(t.urlAuthServlet), session.buildAuthRequest(user, password, identity));
    QCOMPARE(auth.error, 0);
    QCOMPARE(session.decodeAuthReply(auth.body), authOpened);
    if (authOpened) {
        const ReplyResult sync = exchange(server.servletUrl(t.urlSyncServlet), session.buildSyncRequest(identity));
        QCOMPARE(sync.error, syncError);
        if (sync.error == 0) {
            QCOMPARE(session.decodeSyncReply(sync.body), syncInstalled);
        }
    }
    QCOMPARE(services_->logLines.value(services_->logLines.size() - 1), lastLog);
    QCOMPARE(resourceList().size(), syncInstalled ? 3 : 0);
}

void TestAuthTransaction::firstSignInChain()
{
    DevServer server;
    QVERIFY2(server.startWithFile(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json")),
             qPrintable(server.errorOutput()));
    const SharedText& t = SharedText::get();
    const QString user = QStringLiteral("demo.user");
    const QString password = QStringLiteral("demo-pass-2026");
    const QString identity = services_->identity;

    RegTransaction reg;
    ReplyResult reply = exchange(server.servletUrl(t.urlStatServlet), reg.buildStatusRequest(user, password, identity));
    QCOMPARE(reg.decodeStatusReply(reply.body), QStringLiteral("11"));
    reply = exchange(server.servletUrl(t.urlRegServlet), reg.buildRegRequest(user, password, identity));
    QCOMPARE(reg.decodeRegReply(reply.body), QStringLiteral("10"));

    AuthTransaction session;
    reply = exchange(server.servletUrl(t.urlAuthServlet), session.buildAuthRequest(user, password, identity));
    QVERIFY(session.decodeAuthReply(reply.body));
    reply = exchange(server.servletUrl(t.urlSyncServlet), session.buildSyncRequest(identity));
    QVERIFY(session.decodeSyncReply(reply.body));

    // The list survives a restart exactly as the server delivered it, non-ASCII names included.
    const QList<ResourceRecord> stored = ResourceStore().load();
    QCOMPARE(stored.size(), 3);
    QCOMPARE(stored.at(1).resourceName, QStringLiteral("VPN Z\u00FCrich"));
    QCOMPARE(stored.at(2).tokenKey, QStringLiteral("-1"));
    AuthTransaction restarted;
    QCOMPARE(restarted.sessionId, session.sessionId);
    QCOMPARE(restarted.sessionKey, session.sessionKey);

    // The code the program shows now is one the server accepts.
    QProcess verify;
    verify.start(DevServer::executable(),
                 {QStringLiteral("verify"), QStringLiteral("--data"),
                  QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"), QStringLiteral("--user"), user,
                  QStringLiteral("--resource"), stored.at(0).resourceName, QStringLiteral("--code"),
                  TokenGenerator(stored.at(0).tokenKey).generate()});
    QVERIFY(verify.waitForFinished(30000));
    QCOMPARE(verify.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestAuthTransaction)
#include "tst_authtransaction.moc"
