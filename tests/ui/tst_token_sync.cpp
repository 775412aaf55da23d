#include "ui/token/Tokendetails.h"

#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/TokenGenerator.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "storage/StoredLogin.h"
#include "support/DemoAccount.h"
#include "support/DevServer.h"
#include "support/MockClock.h"
#include "support/ScreenFixture.h"
#include "support/SyncScenario.h"
#include "ui/common/StatusMarquee.h"
#include "ui/login/MainWindow.h"
#include "ui/shell/AppController.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLCDNumber>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

// The Sync button against the development server, a separate process over TLS: the status request and every
// reaction to its code, the sync request that replaces the list, failures, and the check of the server's clock.
class TestTokenSync : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statusCodes_data();
    void statusCodes();
    void fullSyncReplacesTheList();
    void syncFailures_data();
    void syncFailures();
    void serverClock_data();
    void serverClock();
    void oneRequestAtATime();
    void syncWithoutRecordsSelectsNothing();
    void storedLoginGoneAtTheClick();

private:
    // The demo account with this computer registered, the session of the stored login, and these overrides.
    bool startServer(const QJsonObject& overrides, const QJsonObject& date = {});
    // Presses Sync and waits until the chain has ended (the button is enabled again).
    bool sync();
    QStringList logMessages() const;
    Tokendetails* screen() const { return fixture_->screens.tokenScreen; }
    QPushButton* syncButton() const { return screen()->findChild<QPushButton*>(QStringLiteral("pBSync")); }
    QLCDNumber* lcd() const { return screen()->findChild<QLCDNumber*>(QStringLiteral("lcdNumberToken")); }
    QLabel* label(const char* name) const { return screen()->findChild<QLabel*>(QLatin1String(name)); }

    std::unique_ptr<MockClock> clock_;
    std::unique_ptr<ScreenFixture> fixture_;
    std::unique_ptr<DevServer> server_;
};

namespace {
using namespace SyncScenario;

// The marquee rotates the text while the test waits; the message is still all there, in turn.
bool holdsRotated(const QString& text, const QString& message)
{
    return (text + text).contains(message);
}
} // namespace

void TestTokenSync::init()
{
    clock_ = std::make_unique<MockClock>(kNow);
    fixture_ = std::make_unique<ScreenFixture>();
    server_ = std::make_unique<DevServer>();
}

void TestTokenSync::cleanup()
{
    fixture_.reset();
    server_.reset();
    clock_.reset();
}

bool TestTokenSync::startServer(const QJsonObject& overrides, const QJsonObject& date)
{
    const QString identity = fixture_->controller->deviceIdentity();
    QJsonObject userFields{{QStringLiteral("overrides"), overrides}};
    if (!date.isEmpty()) {
        userFields.insert(QStringLiteral("date"), date);
    }
    const QJsonObject data =
        DemoAccount::registered(identity, {kSessionId, QStringLiteral("demo.user"), kSessionKey}, userFields);
    if (data.isEmpty()) {
        return false;
    }
    if (!server_->start(data)) {
        qWarning() << server_->errorOutput();
        return false;
    }
    fixture_->storeLogin({kOld});
    fixture_->start();
    fixture_->useServer(*server_);
    return true;
}

bool TestTokenSync::sync()
{
    QTest::mouseClick(syncButton(), Qt::LeftButton);
    if (syncButton()->isEnabled()) {
        return false; // disabled from the click until the chain ends
    }
    return QTest::qWaitFor([this] { return syncButton()->isEnabled(); }, 30000);
}

QStringList TestTokenSync::logMessages() const
{
    QFile log(fixture_->home.dataFile(QStringLiteral("log.dat")));
    QStringList messages;
    if (!log.open(QIODevice::ReadOnly)) {
        return messages;
    }
    for (const QString& entry : QString::fromLatin1(log.readAll()).split(QStringLiteral("\r\n"))) {
        const int at = entry.indexOf(QStringLiteral(" <-> "), entry.indexOf(QStringLiteral(" <-> ")) + 1);
        if (at >= 0) {
            messages.append(entry.mid(at + 5));
        }
    }
    return messages;
}

void TestTokenSync::statusCodes_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("loggedOut");
    const SharedText& t = SharedText::get();
    const int info = QMessageBox::Information;
    QTest::newRow("-1 server unable") << QStringLiteral("-1") << info << t.msgServerUnableToProcess << false;
    QTest::newRow("0 nothing") << QStringLiteral("0") << 0 << QString() << false;
    QTest::newRow("1 nothing") << QStringLiteral("1") << 0 << QString() << false;
    QTest::newRow("2 no such credentials") << QStringLiteral("2") << info << t.msgNoSuchCredentials << false;
    QTest::newRow("3 device info missing") << QStringLiteral("3") << info << t.msgDeviceInfoMissing << false;
    QTest::newRow("4 other user's device") << QStringLiteral("4") << info << t.msgDeviceOtherUser << false;
    QTest::newRow("5 registration limit") << QStringLiteral("5") << info << t.msgRegistrationLimit << false;
    QTest::newRow("6 account locked") << QStringLiteral("6") << info << t.msgAccountLocked << true;
    QTest::newRow("7 nothing") << QStringLiteral("7") << 0 << QString() << false;
    QTest::newRow("11 registration changed") << QStringLiteral("11") << info << t.msgRegistrationChanged << true;
    QTest::newRow("20 submitted") << QStringLiteral("20") << info << t.msgRegistrationSubmitted << false;
    QTest::newRow("21 rejected") << QStringLiteral("21") << info << t.msgRegistrationRejected << false;
    QTest::newRow("22 device locked") << QStringLiteral("22") << int(QMessageBox::Critical) << t.msgDeviceLocked
                                      << false;
    QTest::newRow("23 nothing") << QStringLiteral("23") << 0 << QString() << false;
}

void TestTokenSync::statusCodes()
{
    QFETCH(QString, code);
    QFETCH(int, icon);
    QFETCH(QString, box);
    QFETCH(bool, loggedOut);
    QVERIFY(startServer(servlet("stat", QJsonObject{{QStringLiteral("code"), code}})));
    const QString oldCode = screen()->displayedCode();
    QVERIFY(sync());

    QCOMPARE(fixture_->boxes.boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        const MessageBox::Request& shown = fixture_->boxes.boxes.first();
        QCOMPARE(int(shown.icon), icon);
        QCOMPARE(shown.text, box);
        QCOMPARE(shown.title, QStringLiteral("Veltrane Auth"));
    }
    QVERIFY(syncButton()->isEnabled());
    const QStringList log = logMessages();
    QVERIFY(log.contains(QStringLiteral("Network Connected Sucessfully")));
    QVERIFY(!log.contains(QStringLiteral("Sync Request Format is Processing...!")));

    // The status request carried the stored user, password and this computer's identity.
    const QList<QJsonObject> requests = server_->requests();
    QCOMPARE(requests.size(), 1);
    const QJsonArray fields = requests.first().value(QStringLiteral("fields")).toArray();
    QCOMPARE(fields.at(0).toString(), QStringLiteral("1"));
    QCOMPARE(fields.at(1).toString(), QStringLiteral("demo.user"));
    QCOMPARE(fields.at(2).toString(), QStringLiteral("demo-pass-2026"));
    QCOMPARE(fields.at(3).toString(), fixture_->controller->deviceIdentity());

    const QString statusText = fixture_->controller->statusText();
    if (loggedOut) {
        // The login window with its prompt; the stored session is emptied and the stored list goes with it, so
        // that the next start opens the login window.
        QVERIFY(screen()->isHidden());
        QVERIFY(!countdownTimer(screen())->isActive());
        QVERIFY(fixture_->screens.loginWindow->isVisible());
        QVERIFY(holdsRotated(statusText, QStringLiteral("  Please Login..!  ") + QChar(0x00BB)));
        QCOMPARE(statusText.size(), 44);
        QCOMPARE(fixture_->session->loginUser, QString());
        StoredLogin stored;
        QCOMPARE(StoredLogin::load(fixture_->home.dataFile(QStringLiteral("login.dat")), &stored),
                 StoredLogin::LoadResult::Loaded);
        QCOMPARE(stored.loginUser, QString());
        QCOMPARE(stored.sessionKey, QString());
        QVERIFY(!QFile::exists(fixture_->store->path()));
        QVERIFY(!fixture_->controller->hasStoredLogin());
    } else {
        QVERIFY(screen()->isVisible());
        QVERIFY(holdsRotated(statusText, QStringLiteral("  Please wait..  Sending Request...!")));
        QCOMPARE(screen()->displayedCode(), oldCode);
        QCOMPARE(screen()->currentKey(), kOld.tokenKey);
        QVERIFY(QFile::exists(fixture_->store->path()));
        QVERIFY(fixture_->controller->hasStoredLogin());
        QCOMPARE(fixture_->session->loginUser, QStringLiteral("demo.user"));
    }
}

void TestTokenSync::fullSyncReplacesTheList()
{
    QVERIFY(startServer({}, QJsonObject{{QStringLiteral("fixed"), kNow.toString(Qt::ISODate)}}));
    QCOMPARE(resourceList().size(), 1);
    QVERIFY(sync());
    QVERIFY2(fixture_->boxes.boxes.isEmpty(), qPrintable(fixture_->boxes.texts().join(QLatin1Char('|'))));

    QCOMPARE(resourceList().size(), 3);
    QCOMPARE(resourceList().at(0).resourceName, QStringLiteral("Mail Gateway"));
    QCOMPARE(fixture_->store->load(), resourceList());
    QCOMPARE(screen()->currentIndex(), 0);
    QCOMPARE(label("lblResource")->text(), QStringLiteral("Mail Gateway"));
    QCOMPARE(screen()->displayedCode(),
             TokenGenerator(resourceList().at(0).tokenKey).generateAt(kNow.toSecsSinceEpoch()));
    QVERIFY(lcd()->isVisible());
    QVERIFY(!label("lblStatus")->isVisible());
    QVERIFY(!screen()->findChild<QPushButton*>(QStringLiteral("pBPrev"))->isEnabled());
    QVERIFY(screen()->findChild<QPushButton*>(QStringLiteral("pBNext"))->isEnabled());
    QCOMPARE(screen()->marquee()->scrollCounter(), 0);

    const QStringList log = logMessages();
    const int first = log.indexOf(QStringLiteral("Network Connected Sucessfully"));
    QVERIFY(first >= 0);
    const QStringList expected = fullSyncLog(kNow);
    QCOMPARE(log.mid(first), expected);

    const QList<QJsonObject> requests = server_->requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(1).value(QStringLiteral("servlet")).toString(), QStringLiteral("sync"));
}

void TestTokenSync::syncFailures_data()
{
    QTest::addColumn<QJsonObject>("overrides");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("received");
    QTest::addColumn<bool>("loggedOut");
    // Which screen the box belongs to: the token screen where the request is its own, else the login window.
    QTest::addColumn<bool>("tokenScreenBox");
    const SharedText& t = SharedText::get();
    QTest::newRow("undecipherable reply") << servlet("sync", {{QStringLiteral("undecipherable"), true}})
                                          << QStringLiteral("Decrypted Failure") << true << false << false;
    QTest::newRow("session expired") << servlet("sync", {{QStringLiteral("code"), QStringLiteral("1")}})
                                     << t.msgSessionExpired << true << false << false;
    QTest::newRow("clear -2") << servlet("sync", {{QStringLiteral("clear"), QStringLiteral("-2")}})
                              << t.msgServerUnableToProcess << true << false << false;
    QTest::newRow("HTTP 500 is a network error")
        << servlet("sync", {{QStringLiteral("httpStatus"), 500}}) << t.msgServerUnreachable << false << false << false;
    QTest::newRow("no token for the user")
        << servlet("sync", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("10"), QString()}}})
        << t.msgTokenNotFound << true << true << false;
    // Held past a marquee step, so that the status line has shown "Please wait" when the failure comes.
    QTest::newRow("status request HTTP 500")
        << servlet("stat", {{QStringLiteral("httpStatus"), 500}, {QStringLiteral("delayMs"), 400}})
        << t.msgServerUnreachable << false << false << true;
    // A status reply with no readable code is told, and the screen goes back to the code.
    QTest::newRow("status reply empty") << servlet("stat", {{QStringLiteral("clear"), QString()}})
                                        << t.msgServerUnableToProcess << false << false << true;
    QTest::newRow("status reply undecipherable") << servlet("stat", {{QStringLiteral("undecipherable"), true}})
                                                 << t.msgServerUnableToProcess << false << false << true;
    QTest::newRow("status reply not a number")
        << servlet("stat", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("abc")}}}) << t.msgServerUnableToProcess
        << false << false << true;
    QTest::newRow("empty reply") << servlet("sync", {{QStringLiteral("clear"), QString()}})
                                 << t.msgServerUnableToProcess << true << false << false;
}

void TestTokenSync::syncFailures()
{
    QFETCH(QJsonObject, overrides);
    QFETCH(QString, box);
    QFETCH(bool, received);
    QFETCH(bool, loggedOut);
    QFETCH(bool, tokenScreenBox);
    QVERIFY(startServer(overrides));
    const QString oldCode = screen()->displayedCode();
    QVERIFY(sync());
    QCOMPARE(fixture_->boxes.texts(), QStringList{box});
    QCOMPARE(fixture_->boxes.boxes.first().parent,
             tokenScreenBox ? static_cast<QWidget*>(screen()) : fixture_->screens.loginWindow);
    const QStringList log = logMessages();
    QCOMPARE(log.contains(QStringLiteral("Sync Reply : Data Received Successfully...!")), received);
    QVERIFY(!log.contains(QStringLiteral("Persist data is Started")));
    QCOMPARE(resourceList(), QList<ResourceRecord>{kOld});
    const bool syncSent = server_->requests().size() == 2;
    QCOMPARE(syncSent, !QByteArray(QTest::currentDataTag()).startsWith("status "));
    if (syncSent) {
        QCOMPARE(screen()->marquee()->scrollCounter(), 0);
    }
    if (loggedOut) {
        QVERIFY(screen()->isHidden());
        QVERIFY(fixture_->screens.loginWindow->isVisible());
        QVERIFY(holdsRotated(fixture_->controller->statusText(), QStringLiteral("  Please Login..!  ")));
        return;
    }
    // Back on the selected resource's code, never left on a status line.
    QVERIFY(screen()->isVisible());
    QVERIFY(lcd()->isVisible());
    QVERIFY(!label("lblStatus")->isVisible());
    QCOMPARE(label("lblStatus")->text(), QString());
    QCOMPARE(screen()->displayedCode(), oldCode);
    QCOMPARE(label("lblResource")->text(), kOld.resourceName);
}

void TestTokenSync::serverClock_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("warned");
    // Milliseconds of our clock past the whole second that the server's Date names.
    QTest::addColumn<int>("localMs");
    for (const char* format : {"rfc1123", "rfc850", "asctime"}) {
        QTest::addRow("%s 120 s ahead", format) << QString::fromLatin1(format) << 120 << false << 0;
        QTest::addRow("%s 121 s ahead", format) << QString::fromLatin1(format) << 121 << true << 0;
        QTest::addRow("%s 120 s behind", format) << QString::fromLatin1(format) << -120 << false << 0;
        QTest::addRow("%s 121 s behind", format) << QString::fromLatin1(format) << -121 << true << 0;
    }
    // A Date counts whole seconds: our clock late in its second must not turn 121 s into 120.
    QTest::newRow("121 s ahead, our clock at .999") << QStringLiteral("rfc1123") << 121 << true << 999;
    QTest::newRow("120 s ahead, our clock at .999") << QStringLiteral("rfc1123") << 120 << false << 999;
    QTest::newRow("no Date header") << QStringLiteral("none") << 3600 << false << 0;
}

void TestTokenSync::serverClock()
{
    QFETCH(QString, format);
    QFETCH(int, offset);
    QFETCH(bool, warned);
    QFETCH(int, localMs);
    clock_->set(kNow.addMSecs(localMs));
    // The server's clock stands at our clock plus the offset; ours is the injected one.
    QVERIFY(startServer({}, QJsonObject{{QStringLiteral("format"), format},
                                        {QStringLiteral("fixed"), kNow.toString(Qt::ISODate)},
                                        {QStringLiteral("offsetSeconds"), offset}}));
    QVERIFY(sync());
    QCOMPARE(resourceList().size(), 3);
    const QStringList boxes = fixture_->boxes.texts();
    QCOMPARE(boxes, warned ? QStringList{SharedText::get().msgAdjustSystemTime} : QStringList());
    if (warned) {
        QCOMPARE(int(fixture_->boxes.boxes.first().icon), int(QMessageBox::Critical));
    }
    const QStringList log = logMessages();
    const bool dated = format != QLatin1String("none");
    QVERIFY(log.contains(QStringLiteral("Seconds Difference:%1").arg(dated ? offset : 0)));
    QVERIFY(log.contains(QStringLiteral("Server Date Time: ") +
                         (dated ? kNow.addSecs(offset).toString(Qt::TextDate) : QString())));
    QVERIFY(log.contains(QStringLiteral("Local Date Time: ") + kNow.toString(Qt::TextDate)));
}

void TestTokenSync::oneRequestAtATime()
{
    QVERIFY(startServer(QJsonObject{{QStringLiteral("stat"), QJsonObject{{QStringLiteral("delayMs"), 800}}},
                                    {QStringLiteral("sync"), QJsonObject{{QStringLiteral("delayMs"), 800}}}}));
    QTest::mouseClick(syncButton(), Qt::LeftButton);
    QVERIFY(!syncButton()->isEnabled());
    // A second press while the status request is out does nothing.
    QVERIFY(QMetaObject::invokeMethod(screen(), "on_pBSync_clicked"));
    // The status reply has come (the status line replaces the code) and the sync request is out: still disabled.
    QTRY_VERIFY_WITH_TIMEOUT(label("lblStatus")->isVisible(), 30000);
    QVERIFY(!syncButton()->isEnabled());
    QVERIFY(QMetaObject::invokeMethod(screen(), "on_pBSync_clicked"));
    QTRY_VERIFY_WITH_TIMEOUT(syncButton()->isEnabled(), 30000);
    QCOMPARE(resourceList().size(), 3);
    QStringList servlets;
    for (const QJsonObject& request : server_->requests()) {
        servlets.append(request.value(QStringLiteral("servlet")).toString());
    }
    QCOMPARE(servlets, (QStringList{QStringLiteral("stat"), QStringLiteral("sync")}));
}

void TestTokenSync::syncWithoutRecordsSelectsNothing()
{
    // Code 10 with a payload of malformed records: a successful sync that installs an empty list.
    QVERIFY(startServer(
        servlet("sync", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("10"), QStringLiteral("not a record")}}}),
        QJsonObject{{QStringLiteral("fixed"), kNow.toString(Qt::ISODate)}}));
    QVERIFY(sync());
    QVERIFY(fixture_->boxes.boxes.isEmpty());
    QVERIFY(resourceList().isEmpty());
    QVERIFY(fixture_->store->load().isEmpty());
    // Nothing of the resource that went stays on the screen, and the countdown brings back no code of it.
    QCOMPARE(screen()->currentIndex(), -1);
    QCOMPARE(screen()->currentKey(), QString());
    QCOMPARE(label("lblResource")->text(), QString());
    QCOMPARE(label("lblResource")->toolTip(), QString());
    QVERIFY(!screen()->findChild<QPushButton*>(QStringLiteral("pBPrev"))->isEnabled());
    QVERIFY(!screen()->findChild<QPushButton*>(QStringLiteral("pBNext"))->isEnabled());
    QVERIFY(!lcd()->isVisible());
    QCOMPARE(label("lblStatus")->text(), QString());
    QCOMPARE(screen()->marquee()->scrollCounter(), 0);
    tickCountdownTo(screen(), 1);
    screen()->updateProgressBar();
    QVERIFY(!lcd()->isVisible());
    QCOMPARE(screen()->displayedCode(), QString());
}

void TestTokenSync::storedLoginGoneAtTheClick()
{
    QVERIFY(startServer({}));
    QVERIFY(QFile::remove(fixture_->home.dataFile(QStringLiteral("login.dat"))));
    QTest::mouseClick(syncButton(), Qt::LeftButton);
    QCOMPARE(fixture_->boxes.texts(), QStringList{SharedText::get().msgDataCorrupted});
    QCOMPARE(int(fixture_->boxes.boxes.first().icon), int(QMessageBox::Critical));
    QVERIFY(screen()->isHidden());
    QVERIFY(fixture_->screens.loginWindow->isVisible());
    QVERIFY(syncButton()->isEnabled());
    QVERIFY(server_->requests().isEmpty());
}

QTEST_MAIN(TestTokenSync)
#include "tst_token_sync.moc"
