#include "cipher/AesCipher.h"
#include "protocol/AuthTransaction.h"
#include "storage/StoredLogin.h"

#include "support/FakeCoreServices.h"
#include "support/FileSizeLimit.h"
#include "support/TestHome.h"

#include "core/SharedText.h"
#include "storage/ResourceStore.h"
#include "storage/StoredFile.h"

#include <QDir>

#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>

// login.dat through the session object, as start-up, the login window and the token screen use it.
class TestStoredLogin : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void plaintextLayout();
    void recordsAfterTheMarker_data();
    void recordsAfterTheMarker();
    void emptyFile();
    void missingFilesLeftAlone();
    void otherIdentityDeletesFiles();
    void interruptedSaveKeepsPreviousFile();
    void clearLoginThenSaveStoresEmptyRecord();
    void filesArePrivate_data();
    void filesArePrivate();
    void failedSaveIsToldOnceUntilWritten();
    void unreadableStoreIsNoStoredLogin();
    void sizeLimit_data();
    void sizeLimit();

private:
    QString loginFile() const { return home_->dataFile(QStringLiteral("login.dat")); }
    QString resFile() const { return home_->dataFile(QStringLiteral("res.dat")); }
    void writePlaintext(const QString& path, const QByteArray& plaintext)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(AesCipher().encrypt(services_->fileKey(), plaintext));
    }
    QByteArray decipheredFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? AesCipher().decrypt(services_->fileKey(), file.readAll())
                                              : QByteArray();
    }
    static QStringList texts(const AuthTransaction& t)
    {
        return {t.loginUser, t.loginPassword, t.sessionId, t.sessionKey};
    }
    static void setTexts(AuthTransaction* t, const QStringList& values)
    {
        t->loginUser = values.at(0);
        t->loginPassword = values.at(1);
        t->sessionId = values.at(2);
        t->sessionKey = values.at(3);
    }

    std::unique_ptr<TestHome> home_;
    std::unique_ptr<FakeCoreServices> services_;
};

namespace {
const QByteArray kMarker("A3CAD326469EFFACADBCADCCAD");
const QStringList kSession{QStringLiteral("alice@example"), QStringLiteral("s3cret pass"), QStringLiteral("SID-0042"),
                           QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF")};
} // namespace

void TestStoredLogin::init()
{
    home_ = std::make_unique<TestHome>();
    services_ = std::make_unique<FakeCoreServices>();
}

void TestStoredLogin::cleanup()
{
    services_.reset();
    home_.reset();
}

void TestStoredLogin::roundTrip_data()
{
    QTest::addColumn<QStringList>("saved");
    QTest::addColumn<QStringList>("loaded");
    QTest::newRow("ascii") << kSession << kSession;
    const QStringList latin1{QStringLiteral("jürgen"), QStringLiteral("pässwörd½"), QStringLiteral("é"),
                             QStringLiteral("KEY")};
    QTest::newRow("latin-1") << latin1 << latin1;
    QTest::newRow("empty fields") << QStringList(4, QString()) << QStringList(4, QString());
    QTest::newRow("outside latin-1 becomes ?")
        << QStringList{QStringLiteral("u"), QStringLiteral("p\u20ACss"), QStringLiteral("s"), QStringLiteral("k")}
        << QStringList{QStringLiteral("u"), QStringLiteral("p?ss"), QStringLiteral("s"), QStringLiteral("k")};
    // The separator is not escaped: a middle dot in the password cuts it, and the fields after it shift.
    QTest::newRow("middle dot in password")
        << QStringList{QStringLiteral("u"), QStringLiteral("ab\u00B7cd"), QStringLiteral("s"), QStringLiteral("k")}
        << QStringList{QStringLiteral("u"), QStringLiteral("ab"), QStringLiteral("cd"), QStringLiteral("s")};
}

void TestStoredLogin::roundTrip()
{
    QFETCH(QStringList, saved);
    QFETCH(QStringList, loaded);
    AuthTransaction writer;
    setTexts(&writer, saved);
    writer.saveLogin();

    AuthTransaction reader;
    QCOMPARE(texts(reader), loaded);
    reader.clearLogin();
    QVERIFY(reader.loadLogin());
    QCOMPARE(texts(reader), loaded);
}

void TestStoredLogin::plaintextLayout()
{
    AuthTransaction session;
    setTexts(&session, kSession);
    session.saveLogin();

    QByteArray expected = kMarker;
    for (const QString& field : kSession) {
        expected += '\xB7' + field.toLatin1();
    }
    expected += '\xB7';
    qsizetype fieldBytes = 0;
    for (const QString& field : kSession) {
        fieldBytes += field.size();
    }
    QCOMPARE(expected.size(), 26 + 5 + fieldBytes);
    expected += QByteArray((16 - expected.size() % 16) % 16, '\0');

    QCOMPARE(QFileInfo(loginFile()).size(), expected.size());
    QCOMPARE(decipheredFile(loginFile()), expected);
}

void TestStoredLogin::recordsAfterTheMarker_data()
{
    QTest::addColumn<QByteArray>("plaintext");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("four fields without the final separator")
        << kMarker + "\xB7u\xB7p\xB7s\xB7k" << true
        << QStringList{QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("s"), QStringLiteral("k")};
    QTest::newRow("five fields") << kMarker + "\xB7u\xB7p\xB7s\xB7k\xB7x\xB7" << true
                                 << QStringList{QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("s"),
                                                QStringLiteral("k")};
    // saveLogin never writes fewer than four fields: such a file is damaged and treated like a foreign one.
    QTest::newRow("three fields") << kMarker + "\xB7u\xB7p\xB7s" << false << kSession;
    QTest::newRow("marker only") << kMarker << false << kSession;
    QTest::newRow("wrong marker") << QByteArray("A3CAD326469EFFACADBCADCCAE\xB7u\xB7p\xB7s\xB7k\xB7") << false
                                  << kSession;
}

void TestStoredLogin::recordsAfterTheMarker()
{
    QFETCH(QByteArray, plaintext);
    QFETCH(bool, loads);
    QFETCH(QStringList, texts);
    AuthTransaction session;
    setTexts(&session, kSession);
    writePlaintext(loginFile(), plaintext);

    QCOMPARE(session.loadLogin(), loads);
    QCOMPARE(this->texts(session), texts);
    QCOMPARE(QFile::exists(loginFile()), loads);
}

void TestStoredLogin::emptyFile()
{
    QFile(loginFile()).open(QIODevice::WriteOnly);
    AuthTransaction session;
    setTexts(&session, kSession);
    QVERIFY(!session.loadLogin());
    QCOMPARE(texts(session), kSession);
    QVERIFY(QFile::exists(loginFile()));

    // The start-up check does count it as damaged.
    QFile(resFile()).open(QIODevice::WriteOnly);
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(!QFile::exists(loginFile()));
    QVERIFY(!QFile::exists(resFile()));
    // No bytes, no key: the device identity is not collected for them.
    QCOMPARE(services_->fileKeyRequests, 0);
}

void TestStoredLogin::missingFilesLeftAlone()
{
    AuthTransaction session;
    QCOMPARE(texts(session), QStringList(4, QString()));
    QVERIFY(!session.loadLogin());
    QVERIFY(!QFile::exists(loginFile()));
    // A first start reads nothing and so asks for no key: the identity is collected later, once the log exists.
    QVERIFY(ResourceStore().load().isEmpty());
    QCOMPARE(services_->fileKeyRequests, 0);

    setTexts(&session, kSession);
    session.saveLogin();
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(QFile::exists(loginFile()));
    QVERIFY(!QFile::exists(resFile()));
}

void TestStoredLogin::otherIdentityDeletesFiles()
{
    AuthTransaction session;
    setTexts(&session, kSession);
    session.saveLogin();
    QFile res(resFile());
    QVERIFY(res.open(QIODevice::WriteOnly));
    res.write(AesCipher().encrypt(services_->fileKey(), kMarker + '\xAB'));
    res.close();
    QVERIFY(StoredLogin::hasStoredLogin(loginFile(), resFile()));

    // Same files, another computer or account.
    services_->identity = QStringLiteral("Other Maker SN-9 bob");
    AuthTransaction elsewhere;
    QCOMPARE(texts(elsewhere), QStringList(4, QString()));
    QVERIFY(!QFile::exists(loginFile()));
    QVERIFY(QFile::exists(resFile()));

    session.saveLogin();
    services_->identity = QStringLiteral("Third Maker SN-3 carol");
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(!QFile::exists(loginFile()));
    QVERIFY(!QFile::exists(resFile()));
}

void TestStoredLogin::interruptedSaveKeepsPreviousFile()
{
    AuthTransaction session;
    setTexts(&session, kSession);
    session.saveLogin();
    const QByteArray before = decipheredFile(loginFile());

    session.loginPassword = QString(200, QLatin1Char('p'));
    {
        const FileSizeLimit diskFull(64);
        QVERIFY(diskFull.active());
        session.saveLogin();
    }
    QCOMPARE(decipheredFile(loginFile()), before);
    QVERIFY(session.loadLogin());
    QCOMPARE(texts(session), kSession);
}

void TestStoredLogin::clearLoginThenSaveStoresEmptyRecord()
{
    AuthTransaction session;
    setTexts(&session, kSession);
    session.saveLogin();
    session.clearLogin();
    QCOMPARE(texts(session), QStringList(4, QString()));
    // Clearing alone leaves the file as it was.
    QVERIFY(session.loadLogin());
    QCOMPARE(texts(session), kSession);

    session.clearLogin();
    session.saveLogin();
    QCOMPARE(decipheredFile(loginFile()), kMarker + QByteArray(5, '\xB7') + QByteArray(1, '\0'));
    setTexts(&session, kSession);
    QVERIFY(session.loadLogin());
    QCOMPARE(texts(session), QStringList(4, QString()));
}

void TestStoredLogin::filesArePrivate_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("existingMode"); // 0: no file before the save
    QTest::newRow("new login.dat") << QStringLiteral("login.dat") << 0;
    QTest::newRow("login.dat of mode 0644 is tightened") << QStringLiteral("login.dat") << 0644;
    QTest::newRow("new res.dat") << QStringLiteral("res.dat") << 0;
    QTest::newRow("res.dat of mode 0666 is tightened") << QStringLiteral("res.dat") << 0666;
}

void TestStoredLogin::filesArePrivate()
{
    QFETCH(QString, name);
    QFETCH(int, existingMode);
    const QString path = home_->dataFile(name);
    const mode_t previousMask = ::umask(022);
    if (existingMode != 0) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(existingMode)), 0);
    }
    if (name == QLatin1String("login.dat")) {
        AuthTransaction session;
        setTexts(&session, kSession);
        session.saveLogin();
    } else {
        ResourceStore().save(
            {ResourceRecord{QStringLiteral("VPN"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("KEY")}});
    }
    ::umask(previousMask);

    // stat(1) as the independent reader of the mode.
    QProcess stat;
    stat.start(QStringLiteral("stat"), {QStringLiteral("-c"), QStringLiteral("%a"), path});
    QVERIFY(stat.waitForFinished(30000));
    QCOMPARE(stat.readAllStandardOutput().trimmed(), QByteArray("600"));
    QVERIFY(decipheredFile(path).startsWith(kMarker));
}

void TestStoredLogin::failedSaveIsToldOnceUntilWritten()
{
    const QPair<QString, int> told{SharedText::get().msgLoginNotSaved, CoreServices::Critical};
    AuthTransaction session;
    setTexts(&session, kSession);
    // Something that is not a file stands where login.dat goes: the new content cannot take its place.
    QVERIFY(QDir(home_->dataDir()).mkdir(QStringLiteral("login.dat")));
    QVERIFY(
        !StoredLogin::save(loginFile(), StoredLogin{kSession.at(0), kSession.at(1), kSession.at(2), kSession.at(3)}));
    QCOMPARE(services_->messages, (QList<QPair<QString, int>>{told}));
    QCOMPARE(services_->logLines, QStringList{QStringLiteral("login.dat could not be written")});
    QVERIFY(StoredFile::isUnsaved(loginFile()));

    // The user knows already: a sign-in's second save says nothing new.
    session.saveLogin();
    QCOMPARE(services_->messages.size(), 1);

    // Once written again, the next failure is news again.
    QVERIFY(QDir(home_->dataDir()).rmdir(QStringLiteral("login.dat")));
    session.saveLogin();
    QVERIFY(!StoredFile::isUnsaved(loginFile()));
    QVERIFY(session.loadLogin());
    session.loginPassword = QString(200, QLatin1Char('p'));
    {
        const FileSizeLimit diskFull(64);
        QVERIFY(diskFull.active());
        session.saveLogin();
    }
    QCOMPARE(services_->messages, (QList<QPair<QString, int>>{told, told}));
    QVERIFY(StoredFile::isUnsaved(loginFile()));
}

void TestStoredLogin::unreadableStoreIsNoStoredLogin()
{
    // A folder where res.dat goes was never written by the program: no stored login, and nothing deleted, so
    // that no start calls it corrupted.
    AuthTransaction session;
    setTexts(&session, kSession);
    session.saveLogin();
    QVERIFY(QDir(home_->dataDir()).mkdir(QStringLiteral("res.dat")));
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(QFile::exists(loginFile()));
    QVERIFY(QFileInfo(resFile()).isDir());

    // The same for login.dat.
    QVERIFY(QDir(home_->dataDir()).rmdir(QStringLiteral("res.dat")));
    ResourceStore().save({});
    QVERIFY(QFile::remove(loginFile()));
    QVERIFY(QDir(home_->dataDir()).mkdir(QStringLiteral("login.dat")));
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(QFile::exists(resFile()));
    QVERIFY(!session.loadLogin());
    QVERIFY(QFileInfo(loginFile()).isDir());
}

void TestStoredLogin::sizeLimit_data()
{
    QTest::addColumn<int>("passwordLength");
    QTest::addColumn<bool>("kept");
    // The plaintext is the marker, five separators and the fields, padded to 16 bytes; the ciphertext as long.
    const int atLimit =
        int(StoredFile::kMaxSize) - 31 - kSession.at(0).size() - kSession.at(2).size() - kSession.at(3).size();
    QTest::newRow("exactly 1 MiB is a login") << atLimit << true;
    QTest::newRow("one block more is corrupted") << atLimit + 1 << false;
}

void TestStoredLogin::sizeLimit()
{
    QFETCH(int, passwordLength);
    QFETCH(bool, kept);
    QStringList values = kSession;
    values[1] = QString(passwordLength, QLatin1Char('p'));
    writePlaintext(loginFile(), StoredLogin{values.at(0), values.at(1), values.at(2), values.at(3)}.toPlaintext());
    QCOMPARE(QFileInfo(loginFile()).size(), kept ? StoredFile::kMaxSize : StoredFile::kMaxSize + 16);
    const int keysBefore = services_->fileKeyRequests;

    AuthTransaction session;
    QCOMPARE(session.loadLogin(), kept);
    QCOMPARE(QFile::exists(loginFile()), kept);
    if (kept) {
        QCOMPARE(texts(session), values);
        return;
    }
    // Known damaged by its size alone: nothing was read or deciphered.
    QCOMPARE(services_->fileKeyRequests, keysBefore);
    QCOMPARE(texts(session), QStringList(4, QString()));

    // The start-up check deletes both stores, as for any damaged login.dat.
    writePlaintext(loginFile(), StoredLogin{values.at(0), values.at(1), values.at(2), values.at(3)}.toPlaintext());
    ResourceStore().save({});
    // The reader alone (the command line's) judges the same and deletes nothing.
    QCOMPARE(StoredLogin::examine(loginFile(), resFile(), &StoredFile::fileKey), StoredLogin::Presence::Undecipherable);
    QVERIFY(QFile::exists(loginFile()));
    QVERIFY(!StoredLogin::hasStoredLogin(loginFile(), resFile()));
    QVERIFY(!QFile::exists(loginFile()));
    QVERIFY(!QFile::exists(resFile()));
}

QTEST_GUILESS_MAIN(TestStoredLogin)
#include "tst_storedlogin.moc"
