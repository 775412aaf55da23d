// The Sync chain without any screen: against the development server (a separate process over TLS), the outcomes
// it reports for each status and sync reply, in order, and what it stores, forgets and logs.
#include "core/CoreServices.h"
#include "core/SharedText.h"
#include "protocol/ReplyCodes.h"
#include "protocol/SyncChain.h"
#include "storage/ResourceRecord.h"
#include "storage/StoredLogin.h"
#include "support/ChainWorld.h"
#include "support/DemoAccount.h"
#include "support/MockClock.h"
#include "support/SyncScenario.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>

#include <memory>

namespace {
using namespace SyncScenario;

QJsonObject statusCode(const char* code)
{
    return servlet("stat", {{QStringLiteral("code"), QLatin1String(code)}});
}

QString box(int kind, const QString& text)
{
    return QStringLiteral("box %1 %2").arg(kind).arg(text);
}

using Messages = QList<QPair<QString, int>>;
} // namespace

class TestSyncChain : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void outcomes_data();
    void outcomes();
    void fullSyncStoresAndLogs();
    void withoutSessionNothingIsSent();

private:
    // The demo account with this computer registered and the stored login's session open, these overrides on the
    // user; the stored login holds that session and the old list.
    bool startServer(const QJsonObject& overrides, const QJsonObject& date = {});
    // start() and, when it allows, the status request; then waits until the chain has finished.
    bool runChain();

    std::unique_ptr<MockClock> clock_;
    std::unique_ptr<ChainWorld> world_;
    std::unique_ptr<SyncChain> chain_;
    // Every signal of the chain, one line each, in order.
    QStringList events_;
};

void TestSyncChain::init()
{
    clock_ = std::make_unique<MockClock>(kNow);
    world_ = std::make_unique<ChainWorld>();
    events_.clear();

    SyncChain::Settings settings;
    settings.proxyMode = [] { return 0; };
    settings.hasStoredLogin = [this] {
        return StoredLogin::hasStoredLogin(world_->session.loginFilePath(), world_->store.path());
    };
    chain_ = std::make_unique<SyncChain>(settings);
    SyncChain* chain = chain_.get();
    connect(chain, &SyncChain::message, this, [this](const QString& text, int kind) { events_ << box(kind, text); });
    connect(chain, &SyncChain::statusRequestFailed, this,
            [this](const QString& text) { events_ << QStringLiteral("failed ") + text; });
    connect(chain, &SyncChain::statusLineChanged, this,
            [this](const QString& text) { events_ << QStringLiteral("line ") + text; });
    connect(chain, &SyncChain::loginNeeded, this, [this] { events_ << QStringLiteral("login"); });
    connect(chain, &SyncChain::syncRequestStarting, this, [this] { events_ << QStringLiteral("sync"); });
    connect(chain, &SyncChain::syncReplyArrived, this, [this] { events_ << QStringLiteral("arrived"); });
    connect(chain, &SyncChain::syncFailed, this, [this](const QString& errorText) {
        QVERIFY(!errorText.isEmpty());
        events_ << QStringLiteral("sync failed");
    });
    connect(chain, &SyncChain::syncRefused, this, [this] { events_ << QStringLiteral("refused"); });
    connect(chain, &SyncChain::syncStoring, this, [this] { events_ << QStringLiteral("storing"); });
    connect(chain, &SyncChain::synced, this, [this] { events_ << QStringLiteral("synced"); });
    connect(chain, &SyncChain::finished, this, [this] { events_ << QStringLiteral("finished"); });
}

void TestSyncChain::cleanup()
{
    chain_.reset();
    world_.reset();
    clock_.reset();
}

bool TestSyncChain::startServer(const QJsonObject& overrides, const QJsonObject& date)
{
    QJsonObject userFields{{QStringLiteral("overrides"), overrides}};
    if (!date.isEmpty()) {
        userFields.insert(QStringLiteral("date"), date);
    }
    const QJsonObject data = DemoAccount::registered(
        world_->services->identity, {kSessionId, QStringLiteral("demo.user"), kSessionKey}, userFields);
    if (!world_->serve(data)) {
        return false;
    }
    world_->session.loginUser = QStringLiteral("demo.user");
    world_->session.loginPassword = QStringLiteral("demo-pass-2026");
    world_->session.sessionId = kSessionId;
    world_->session.sessionKey = kSessionKey;
    world_->session.saveLogin();
    resourceList() = {kOld};
    world_->store.save(resourceList());
    return true;
}

bool TestSyncChain::runChain()
{
    if (chain_->start()) {
        chain_->sendStatusRequest();
    }
    return QTest::qWaitFor([this] { return !chain_->busy() && events_.contains(QStringLiteral("finished")); }, 30000);
}

void TestSyncChain::outcomes_data()
{
    QTest::addColumn<QJsonObject>("overrides");
    QTest::addColumn<QJsonObject>("date");
    // The chain's signals in order, and the boxes the reply decoding showed on its own.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<Messages>("decodingBoxes");
    // Whether the sync request went, whether the stored sign-in was forgotten, the list's names afterwards.
    QTest::addColumn<bool>("syncSent");
    QTest::addColumn<bool>("forgotten");
    QTest::addColumn<QStringList>("list");

    const SharedText& t = SharedText::get();
    const int info = CoreServices::Information;
    const int critical = CoreServices::Critical;
    const QString finished = QStringLiteral("finished");
    const QStringList old{kOld.resourceName};
    const QStringList demo{QStringLiteral("Mail Gateway"), QStringLiteral("VPN Z\u00FCrich"),
                           QStringLiteral("Build Server")};
    const QStringList syncSteps{QStringLiteral("sync"), QStringLiteral("arrived")};

    QTest::newRow("status -1: its box, nothing more")
        << statusCode("-1") << QJsonObject() << QStringList{box(info, t.msgServerUnableToProcess), finished}
        << Messages() << false << false << old;
    QTest::newRow("status 1: no box") << statusCode("1") << QJsonObject() << QStringList{finished} << Messages()
                                      << false << false << old;
    QTest::newRow("status 6: box, try later, login, forgotten")
        << statusCode("6") << QJsonObject()
        << QStringList{box(info, t.msgAccountLocked),
                       QStringLiteral("line ") + ReplyCodes::statusLineText(StatusLine::TryLater),
                       QStringLiteral("login"), finished}
        << Messages() << false << true << old;
    QTest::newRow("status 11: box, login, forgotten")
        << statusCode("11") << QJsonObject()
        << QStringList{box(info, t.msgRegistrationChanged), QStringLiteral("login"), finished} << Messages() << false
        << true << old;
    QTest::newRow("status 22: a critical box")
        << statusCode("22") << QJsonObject() << QStringList{box(critical, t.msgDeviceLocked), finished} << Messages()
        << false << false << old;
    QTest::newRow("status 23: no row, nothing")
        << statusCode("23") << QJsonObject() << QStringList{finished} << Messages() << false << false << old;
    QTest::newRow("status HTTP 500: request failed")
        << servlet("stat", {{QStringLiteral("httpStatus"), 500}}) << QJsonObject()
        << QStringList{QStringLiteral("failed ") + t.msgServerUnreachable, finished} << Messages() << false << false
        << old;
    QTest::newRow("status not a number: unreadable")
        << servlet("stat", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("abc")}}}) << QJsonObject()
        << QStringList{QStringLiteral("failed ") + t.msgServerUnableToProcess, finished} << Messages() << false << false
        << old;
    QTest::newRow("status 10: the list replaced")
        << QJsonObject() << QJsonObject{{QStringLiteral("fixed"), kNow.toString(Qt::ISODate)}}
        << syncSteps + QStringList{QStringLiteral("storing"), QStringLiteral("synced"), finished} << Messages() << true
        << false << demo;
    QTest::newRow("server clock 121 s ahead: warned between storing and synced")
        << QJsonObject()
        << QJsonObject{{QStringLiteral("format"), QStringLiteral("rfc1123")},
                       {QStringLiteral("fixed"), kNow.toString(Qt::ISODate)},
                       {QStringLiteral("offsetSeconds"), 121}}
        << syncSteps + QStringList{QStringLiteral("storing"), box(critical, t.msgAdjustSystemTime),
                                   QStringLiteral("synced"), finished}
        << Messages() << true << false << demo;
    QTest::newRow("server clock 120 s behind: not warned")
        << QJsonObject()
        << QJsonObject{{QStringLiteral("format"), QStringLiteral("asctime")},
                       {QStringLiteral("fixed"), kNow.toString(Qt::ISODate)},
                       {QStringLiteral("offsetSeconds"), -120}}
        << syncSteps + QStringList{QStringLiteral("storing"), QStringLiteral("synced"), finished} << Messages() << true
        << false << demo;
    QTest::newRow("sync 1: refused with the decoding's box")
        << servlet("sync", {{QStringLiteral("code"), QStringLiteral("1")}}) << QJsonObject()
        << syncSteps + QStringList{QStringLiteral("refused"), finished} << Messages{{t.msgSessionExpired, info}} << true
        << false << old;
    QTest::newRow("sync clear -2: refused")
        << servlet("sync", {{QStringLiteral("clear"), QStringLiteral("-2")}}) << QJsonObject()
        << syncSteps + QStringList{QStringLiteral("refused"), finished}
        << Messages{{t.msgServerUnableToProcess, critical}} << true << false << old;
    QTest::newRow("sync HTTP 500: failed")
        << servlet("sync", {{QStringLiteral("httpStatus"), 500}}) << QJsonObject()
        << syncSteps + QStringList{QStringLiteral("sync failed"), finished} << Messages() << true << false << old;
}

void TestSyncChain::outcomes()
{
    QFETCH(QJsonObject, overrides);
    QFETCH(QJsonObject, date);
    QFETCH(QStringList, events);
    QFETCH(Messages, decodingBoxes);
    QFETCH(bool, syncSent);
    QFETCH(bool, forgotten);
    QFETCH(QStringList, list);
    QVERIFY(startServer(overrides, date));
    QVERIFY(runChain());

    QCOMPARE(events_, events);
    QCOMPARE(world_->services->messages, decodingBoxes);
    QCOMPARE(world_->server.requests().size(), syncSent ? 2 : 1);
    QCOMPARE(world_->services->logLines.contains(QStringLiteral("Network Connected Sucessfully")),
             !events.first().startsWith(QStringLiteral("failed ") + SharedText::get().msgServerUnreachable));

    // A forgotten sign-in: login.dat keeps an empty session and res.dat goes, so the next start asks to log in.
    StoredLogin stored;
    QCOMPARE(StoredLogin::load(world_->session.loginFilePath(), &stored), StoredLogin::LoadResult::Loaded);
    QCOMPARE(stored.loginUser, forgotten ? QString() : QStringLiteral("demo.user"));
    QCOMPARE(world_->session.loginUser, forgotten ? QString() : QStringLiteral("demo.user"));
    QCOMPARE(QFile::exists(world_->store.path()), !forgotten);
    QCOMPARE(chain_->hasSession(), !forgotten);

    QStringList names;
    for (const ResourceRecord& record : resourceList()) {
        names << record.resourceName;
    }
    QCOMPARE(names, list);
    if (!forgotten) {
        QCOMPARE(world_->store.load(), resourceList());
    }
}

void TestSyncChain::fullSyncStoresAndLogs()
{
    QVERIFY(startServer({}, QJsonObject{{QStringLiteral("fixed"), kNow.toString(Qt::ISODate)}}));
    QVERIFY(runChain());
    QCOMPARE(resourceList().size(), 3);

    const QStringList expected = fullSyncLog(kNow);
    const int first = world_->services->logLines.indexOf(expected.first());
    QVERIFY(first >= 0);
    QCOMPARE(world_->services->logLines.mid(first), expected);

    // The status request carried the stored user, password and this computer's identity; the sync request the
    // stored session.
    const QList<QJsonObject> requests = world_->server.requests();
    QCOMPARE(requests.size(), 2);
    const QJsonArray status = requests.at(0).value(QStringLiteral("fields")).toArray();
    QCOMPARE(status.at(1).toString(), QStringLiteral("demo.user"));
    QCOMPARE(status.at(2).toString(), QStringLiteral("demo-pass-2026"));
    QCOMPARE(status.at(3).toString(), world_->services->identity);
    QCOMPARE(requests.at(1).value(QStringLiteral("servlet")).toString(), QStringLiteral("sync"));
    StoredLogin stored;
    QCOMPARE(StoredLogin::load(world_->session.loginFilePath(), &stored), StoredLogin::LoadResult::Loaded);
    QCOMPARE(stored.sessionKey, kSessionKey);
}

void TestSyncChain::withoutSessionNothingIsSent()
{
    QVERIFY(startServer({}));
    QFile::remove(world_->store.path());
    QVERIFY(!chain_->hasSession());
    QVERIFY(!chain_->start());
    QCOMPARE(events_, (QStringList{box(CoreServices::Critical, SharedText::get().msgDataCorrupted),
                                   QStringLiteral("login"), QStringLiteral("finished")}));
    QVERIFY(!chain_->busy());
    QVERIFY(world_->server.requests().isEmpty());
}

QTEST_GUILESS_MAIN(TestSyncChain)
#include "tst_syncchain.moc"
