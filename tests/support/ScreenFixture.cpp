#include "support/ScreenFixture.h"

#include "protocol/AuthTransaction.h"
#include "protocol/HttpsTransport.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "support/DevServer.h"
#include "ui/common/ScreenFonts.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include <QGridLayout>
#include <QTimer>

ScreenFixture::ScreenFixture()
{
    ScreenFonts::installSubstitutions();
    controllerOwner_ = std::make_unique<AppController>();
    controller = controllerOwner_.get();
    setAppController(controller);
    setCoreServices(controller);
    storeOwner_ = std::make_unique<ResourceStore>();
    store = storeOwner_.get();
    setResourceStore(store);
    resourceList().clear();
    sessionOwner_ = std::make_unique<AuthTransaction>();
    session = sessionOwner_.get();
    setAuthTransaction(session);

    auto* layout = new QGridLayout;
    controller->container()->setLayout(layout);
    screens = ScreenSet::build(*controller);
    screens.place(layout);
}

ScreenFixture::~ScreenFixture()
{
    HttpsTransport::redirectForTests(QString());
    // The container takes the screens with it.
    controllerOwner_.reset();
    setAuthTransaction(nullptr);
    setResourceStore(nullptr);
    setCoreServices(nullptr);
    setAppController(nullptr);
    resourceList().clear();
}

void ScreenFixture::start()
{
    controller->container()->setVisible(true);
    screens.showFirstScreen(*controller);
}

void ScreenFixture::storeLogin(const QList<ResourceRecord>& resources, const QString& user, const QString& password)
{
    session->loginUser = user;
    session->loginPassword = password;
    session->sessionId = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWX");
    session->sessionKey = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF");
    session->saveLogin();
    store->save(resources);
}

void ScreenFixture::useServer(const DevServer& server)
{
    HttpsTransport::redirectForTests(server.baseUrl());
}

QTimer* countdownTimer(const Tokendetails* token)
{
    return token->findChild<QTimer*>(QStringLiteral("progressTimer"));
}

void tickCountdownTo(Tokendetails* token, int left)
{
    token->resetCountdown();
    while (token->secondsLeft() > left) {
        token->updateProgressBar();
    }
}
