// Throughput of the cipher, the codec and the resource store at the sizes the program meets. Not a test: run it
// by hand (build/tests/storage/bench_storage).
#include "cipher/AesCipher.h"
#include "storage/HuffmanCodec.h"
#include "storage/ResourceStore.h"

#include "support/FakeCoreServices.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {
const QString kKey = QStringLiteral("QWERTYUIOPASDFGHJKLZXCVBNMQWERTY");

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char& byte : bytes) {
        byte = char(random.bounded(256));
    }
    return bytes;
}

// Settings-like text: base64 characters, some far more frequent than others.
QByteArray sampleText(int size)
{
    static const char alphabet[] = "cHJveHkuZXhhbXBsZS5jb20YWJjZGVmZ2hpams0123456789+/=";
    const int alphabetSize = int(sizeof(alphabet) - 1);
    QByteArray text(size, Qt::Uninitialized);
    QRandomGenerator random(11);
    for (char& byte : text) {
        byte = alphabet[std::min(random.bounded(alphabetSize), random.bounded(alphabetSize))];
    }
    return text;
}

void encrypt4KiB(benchmark::State& state)
{
    const QByteArray body = randomBytes(4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(AesCipher().encrypt(kKey, body));
    }
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(encrypt4KiB);

void decrypt4KiB(benchmark::State& state)
{
    const QByteArray cipher = AesCipher().encrypt(kKey, randomBytes(4096));
    for (auto _ : state) {
        benchmark::DoNotOptimize(AesCipher().decrypt(kKey, cipher));
    }
    state.SetBytesProcessed(state.iterations() * cipher.size());
}
BENCHMARK(decrypt4KiB);

void compress1KiB(benchmark::State& state)
{
    const QByteArray text = sampleText(1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HuffmanCodec::compress(text));
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(compress1KiB);

void uncompress1KiB(benchmark::State& state)
{
    const QByteArray text = sampleText(1024);
    const QByteArray compressed = HuffmanCodec::compress(text);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HuffmanCodec::uncompress(compressed, text.size()));
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(uncompress1KiB);

void saveAndLoad100Resources(benchmark::State& state)
{
    const TestHome home;
    const FakeCoreServices services;
    const ResourceStore store;
    QList<ResourceRecord> records;
    for (int i = 0; i < 100; ++i) {
        records.append(ResourceRecord{QStringLiteral("Resource number %1").arg(i), QStringLiteral("user%1@corp").arg(i),
                                      QStringLiteral("Group %1").arg(i % 7),
                                      QString::fromLatin1(randomBytes(10).toHex())});
    }
    for (auto _ : state) {
        store.save(records);
        benchmark::DoNotOptimize(store.load());
    }
}
BENCHMARK(saveAndLoad100Resources);
} // namespace
