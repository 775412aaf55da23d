#include "core/SharedText.h"
#include "cipher/AesCipher.h"
#include "storage/ResourceStore.h"
#include "storage/StoredFile.h"

#include "support/FakeCoreServices.h"
#include "support/FileSizeLimit.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

Q_DECLARE_METATYPE(QList<ResourceRecord>)

class TestResourceStore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void emptyList();
    void separatorInsideAFieldLosesThatRecord();
    void parseRecords_data();
    void parseRecords();
    void serializedLayout();
    void foreignFileDeletedOnLoad();
    void missingFileLeftAlone();
    void interruptedSaveKeepsPreviousFile();
    void processWideList();
    void failedSaveIsTold();
    void sizeLimit_data();
    void sizeLimit();
    void cutStoreIsCorrupted_data();
    void cutStoreIsCorrupted();

private:
    QByteArray decipheredFile()
    {
        QFile file(store_->path());
        return file.open(QIODevice::ReadOnly) ? AesCipher().decrypt(services_->fileKey(), file.readAll())
                                              : QByteArray();
    }

    std::unique_ptr<TestHome> home_;
    std::unique_ptr<FakeCoreServices> services_;
    std::unique_ptr<ResourceStore> store_;
};

namespace {
const QByteArray kHeader = QByteArray("A3CAD326469EFFACADBCADCCAD") + '\xAB';

ResourceRecord record(const QString& name, const QString& user, const QString& group, const QString& key)
{
    return ResourceRecord{name, user, group, key};
}

const QList<ResourceRecord> kTwo{
    record(QStringLiteral("VPN Gateway"), QStringLiteral("alice@corp.example"), QStringLiteral("Network"),
           QStringLiteral("JBSWY3DPEHPK3PXP")),
    record(QStringLiteral("Mail"), QStringLiteral("alice"), QStringLiteral("Office"), QStringLiteral("-1"))};
} // namespace

void TestResourceStore::init()
{
    home_ = std::make_unique<TestHome>();
    services_ = std::make_unique<FakeCoreServices>();
    store_ = std::make_unique<ResourceStore>();
}

void TestResourceStore::cleanup()
{
    store_.reset();
    services_.reset();
    home_.reset();
}

void TestResourceStore::roundTrip_data()
{
    QTest::addColumn<QList<ResourceRecord>>("records");
    QTest::newRow("ascii, in order") << kTwo;
    QTest::newRow("latin-1 names survive a restart")
        << QList<ResourceRecord>{record(QStringLiteral("Café Wiki"), QStringLiteral("jürgen"),
                                        QStringLiteral("Société"), QStringLiteral("ÀÿKEY")),
                                 record(QStringLiteral("Ünïcode"), QString(), QString(), QStringLiteral("-2"))};
    QTest::newRow("empty fields") << QList<ResourceRecord>{record(QString(), QString(), QString(), QString())};
}

void TestResourceStore::roundTrip()
{
    QFETCH(QList<ResourceRecord>, records);
    store_->save(records);
    QCOMPARE(ResourceStore().load(), records);
}

void TestResourceStore::emptyList()
{
    store_->save({});
    QCOMPARE(QFileInfo(store_->path()).size(), 32);
    QCOMPARE(decipheredFile(), kHeader + QByteArray(5, '\0'));
    QVERIFY(store_->load().isEmpty());
    QVERIFY(QFile::exists(store_->path()));
}

void TestResourceStore::separatorInsideAFieldLosesThatRecord()
{
    // Fields are not escaped: a name holding 0xB7 or 0xBB splits its record, which is then dropped on reading.
    const QList<ResourceRecord> records{
        kTwo.at(0), record(QStringLiteral("a\u00B7b"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("k")),
        kTwo.at(1)};
    store_->save(records);
    QCOMPARE(store_->load(), kTwo);
}

void TestResourceStore::parseRecords_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<ResourceRecord>>("records");
    QTest::newRow("empty block") << QByteArray() << QList<ResourceRecord>{};
    QTest::newRow("token key third, group last")
        << QByteArray("R\xB7U\xB7K\xB7G\xBB") << QList<ResourceRecord>{record("R", "U", "G", "K")};
    QTest::newRow("three- and five-field pieces dropped")
        << QByteArray("A\xB7u\xB7k\xB7g\xBB"
                      "B\xB7u\xB7k\xBB"
                      "C\xB7u\xB7k\xB7g\xB7x\xBB"
                      "D\xB7u\xB7k\xB7g\xBB")
        << QList<ResourceRecord>{record("A", "u", "g", "k"), record("D", "u", "g", "k")};
    QTest::newRow("last record without its end byte")
        << QByteArray("A\xB7u\xB7k\xB7g") << QList<ResourceRecord>{record("A", "u", "g", "k")};
    QTest::newRow("zero padding after the block")
        << QByteArray("A\xB7u\xB7k\xB7g\xBB\0\0\0", 12) << QList<ResourceRecord>{record("A", "u", "g", "k")};
    QTest::newRow("field ends at 0x00") << QByteArray("A\0junk\xB7u\xB7k\xB7g\xBB", 14)
                                        << QList<ResourceRecord>{record("A", "u", "g", "k")};
    QTest::newRow("utf-8 of older files reads byte by byte")
        << QByteArray("Caf\xC3\xA9\xB7u\xB7k\xB7g\xBB")
        << QList<ResourceRecord>{record(QStringLiteral("Caf\u00C3\u00A9"), "u", "g", "k")};
}

void TestResourceStore::parseRecords()
{
    QFETCH(QByteArray, block);
    QFETCH(QList<ResourceRecord>, records);
    QCOMPARE(ResourceStore::parseRecords(block), records);
}

void TestResourceStore::serializedLayout()
{
    const QList<ResourceRecord> records{
        record(QStringLiteral("Café"), QStringLiteral("u"), QStringLiteral("g"), QStringLiteral("k\u20AC"))};
    QCOMPARE(ResourceStore::serializeRecords(records), QByteArray("Caf\xE9\xB7u\xB7k?\xB7g\xBB"));
    store_->save(records);
    const QByteArray plaintext = kHeader + QByteArray("Caf\xE9\xB7u\xB7k?\xB7g\xBB");
    QCOMPARE(decipheredFile(), plaintext + QByteArray(48 - plaintext.size(), '\0'));
}

void TestResourceStore::foreignFileDeletedOnLoad()
{
    store_->save(kTwo);
    services_->identity = QStringLiteral("Another Computer SN-1 mallory");
    QVERIFY(store_->load().isEmpty());
    QVERIFY(!QFile::exists(store_->path()));
}

void TestResourceStore::missingFileLeftAlone()
{
    QVERIFY(store_->load().isEmpty());
    QVERIFY(!QFile::exists(store_->path()));
}

void TestResourceStore::interruptedSaveKeepsPreviousFile()
{
    store_->save(kTwo);
    QList<ResourceRecord> many;
    for (int i = 0; i < 100; ++i) {
        many.append(record(QStringLiteral("Resource %1").arg(i), QStringLiteral("user"), QStringLiteral("group"),
                           QStringLiteral("KEY%1").arg(i)));
    }
    {
        // The disk fills up while the new store is written.
        const FileSizeLimit diskFull(1024);
        QVERIFY(diskFull.active());
        store_->save(many);
    }
    QCOMPARE(store_->load(), kTwo);
}

void TestResourceStore::processWideList()
{
    ResourceStore store;
    setResourceStore(&store);
    QCOMPARE(resourceStore(), &store);
    resourceList() = kTwo;
    QCOMPARE(resourceList(), kTwo);
    resourceList().clear();
    setResourceStore(nullptr);
}

void TestResourceStore::failedSaveIsTold()
{
    QVERIFY(QDir(home_->dataDir()).mkdir(QStringLiteral("res.dat")));
    QVERIFY(!store_->save(kTwo));
    QCOMPARE(services_->messages,
             (QList<QPair<QString, int>>{{SharedText::get().msgResourcesNotSaved, CoreServices::Critical}}));
    QCOMPARE(services_->logLines, QStringList{QStringLiteral("res.dat could not be written")});
    QVERIFY(StoredFile::isUnsaved(store_->path()));
    QVERIFY(QDir(home_->dataDir()).rmdir(QStringLiteral("res.dat")));
    QVERIFY(store_->save(kTwo));
    QVERIFY(!StoredFile::isUnsaved(store_->path()));
    QCOMPARE(services_->messages.size(), 1);
}

void TestResourceStore::sizeLimit_data()
{
    QTest::addColumn<int>("extra");
    QTest::addColumn<bool>("kept");
    QTest::newRow("exactly 1 MiB is a store") << 0 << true;
    QTest::newRow("one block more is corrupted") << 16 << false;
}

void TestResourceStore::sizeLimit()
{
    QFETCH(int, extra);
    QFETCH(bool, kept);
    // One record whose name fills the plaintext (header, three separators, key "K", 0xBB) to the size wanted.
    const int nameLength = int(StoredFile::kMaxSize) + extra - kHeader.size() - 3 - 1 - 1;
    const QList<ResourceRecord> big{
        record(QString(nameLength, QLatin1Char('n')), QString(), QString(), QStringLiteral("K"))};
    QFile file(store_->path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(AesCipher().encrypt(services_->fileKey(), kHeader + ResourceStore::serializeRecords(big)));
    file.close();
    QCOMPARE(QFileInfo(store_->path()).size(), StoredFile::kMaxSize + extra);
    const int keysBefore = services_->fileKeyRequests;

    QCOMPARE(store_->load(), kept ? big : QList<ResourceRecord>());
    QCOMPARE(QFile::exists(store_->path()), kept);
    if (!kept) {
        // Known damaged by its size alone: nothing was read or deciphered.
        QCOMPARE(services_->fileKeyRequests, keysBefore);
    }
}

void TestResourceStore::cutStoreIsCorrupted_data()
{
    QTest::addColumn<QByteArray>("plaintext");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QList<ResourceRecord>>("expected");
    const QByteArray whole = kHeader + ResourceStore::serializeRecords(kTwo);
    QTest::newRow("whole store") << whole << 0 << kTwo;
    // The ciphertext is 112 bytes: half of it ends inside a block, a quarter on a block boundary.
    QTest::newRow("cut in half") << whole << 56 << QList<ResourceRecord>();
    QTest::newRow("cut on a block boundary") << whole << 80 << QList<ResourceRecord>();
    // Read as it is, the second record would come back with the group "O".
    QTest::newRow("last record without its end")
        << whole.left(whole.indexOf("Office") + 1) << 0 << QList<ResourceRecord>();
}

void TestResourceStore::cutStoreIsCorrupted()
{
    QFETCH(QByteArray, plaintext);
    QFETCH(int, cut);
    QFETCH(QList<ResourceRecord>, expected);
    QByteArray ciphertext = AesCipher().encrypt(services_->fileKey(), plaintext);
    QCOMPARE(ciphertext.size(), 112);
    if (cut > 0) {
        ciphertext.truncate(cut);
    }
    QFile file(store_->path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ciphertext);
    file.close();

    // The reader alone (the command line's) judges the same and deletes nothing.
    const ResourceStore::Reading reading = ResourceStore::read(store_->path(), &StoredFile::fileKey);
    QCOMPARE(reading.status, expected.isEmpty() ? ResourceStore::Reading::Corrupted : ResourceStore::Reading::Read);
    QCOMPARE(reading.records, expected);
    QVERIFY(QFile::exists(store_->path()));

    QCOMPARE(store_->load(), expected);
    QCOMPARE(QFile::exists(store_->path()), !expected.isEmpty());
}

QTEST_GUILESS_MAIN(TestResourceStore)
#include "tst_resourcestore.moc"
