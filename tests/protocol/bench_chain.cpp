// Wall time of a first sign-in's request chain (status, authentication, sync) against the development server on
// loopback, each request on its own TLS connection, and the client's peak memory. Not part of the test suite:
// run build/tests/protocol/bench_chain by hand.
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/RegTransaction.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "support/FakeCoreServices.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {
const QString kIdentity = QStringLiteral("BENCH-DEVICE*SN*bench");

void requestChain(benchmark::State& state)
{
    TestHome home;
    FakeCoreServices services(kIdentity);
    ResourceStore store;
    setResourceStore(&store);
    QFile demoFile(QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json"));
    demoFile.open(QIODevice::ReadOnly);
    QJsonObject data = QJsonDocument::fromJson(demoFile.readAll()).object();
    QJsonArray users = data.value(QStringLiteral("users")).toArray();
    QJsonObject demo = users.at(0).toObject();
    demo.insert(QStringLiteral("devices"), QJsonObject{{kIdentity, QStringLiteral("registered")}});
    users.replace(0, demo);
    data.insert(QStringLiteral("users"), users);
    DevServer server;
    if (!server.start(data)) {
        state.SkipWithError("the development server did not start");
        return;
    }
    const SharedText& t = SharedText::get();
    const QString user = QStringLiteral("demo.user");
    const QString password = QStringLiteral("demo-pass-2026");
    RegTransaction reg;
    AuthTransaction session;
    for (auto _ : state) {
        const ReplyResult status =
            exchange(server.servletUrl(t.urlStatServlet), reg.buildStatusRequest(user, password, kIdentity));
        const ReplyResult auth =
            exchange(server.servletUrl(t.urlAuthServlet), session.buildAuthRequest(user, password, kIdentity));
        if (reg.decodeStatusReply(status.body) != QLatin1String("10") || !session.decodeAuthReply(auth.body)) {
            state.SkipWithError("the chain was refused");
            break;
        }
        const ReplyResult sync = exchange(server.servletUrl(t.urlSyncServlet), session.buildSyncRequest(kIdentity));
        if (!session.decodeSyncReply(sync.body)) {
            state.SkipWithError("the sync was refused");
            break;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = double(usage.ru_maxrss) / 1024.0;
    setResourceStore(nullptr);
}
} // namespace

BENCHMARK(requestChain)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
