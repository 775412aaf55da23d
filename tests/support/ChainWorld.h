#pragma once

#include "protocol/AuthTransaction.h"
#include "protocol/HttpsTransport.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "support/FakeCoreServices.h"
#include "support/ReleaseDeferred.h"
#include "support/TestHome.h"

#include <QJsonObject>

#include <memory>

// What a chain of requests works in without any screen: a temporary home, core services, a resource store and a
// session installed as the program's own, and a development server to start. A test makes one per test function and
// ends it after the chain: the requests' deferred deletions run first, then everything goes in the reverse order.
class ChainWorld {
public:
    explicit ChainWorld(std::unique_ptr<FakeCoreServices> coreServices = std::make_unique<FakeCoreServices>())
        : services(std::move(coreServices))
    {
        setResourceStore(&store);
        resourceList().clear();
        setAuthTransaction(&session);
    }
    ~ChainWorld()
    {
        releaseDeferred();
        HttpsTransport::redirectForTests(QString());
        setAuthTransaction(nullptr);
        setResourceStore(nullptr);
        resourceList().clear();
    }
    ChainWorld(const ChainWorld&) = delete;
    ChainWorld& operator=(const ChainWorld&) = delete;

    // Starts the development server with `data` and sends the program's requests to it (until the world ends);
    // false, with the server's own words as a warning, when it did not start.
    bool serve(const QJsonObject& data)
    {
        if (data.isEmpty() || !server.start(data)) {
            qWarning("the development server did not start: %s", qPrintable(server.errorOutput()));
            return false;
        }
        HttpsTransport::redirectForTests(server.baseUrl());
        return true;
    }

    TestHome home;
    std::unique_ptr<FakeCoreServices> services;
    ResourceStore store;
    AuthTransaction session;
    DevServer server;
};
