#pragma once

#include "protocol/AuthTransaction.h"
#include "protocol/HttpsTransport.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "support/FakeCoreServices.h"
#include "support/ReleaseDeferred.h"
#include "support/TestHome.h"

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

    TestHome home;
    std::unique_ptr<FakeCoreServices> services;
    ResourceStore store;
    AuthTransaction session;
    DevServer server;
};
