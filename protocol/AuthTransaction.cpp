#include "protocol/AuthTransaction.h"

#include "cipher/PlainText.h"
#include "cipher/RandomText.h"
#include "core/CoreServices.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "storage/ResourceStore.h"
#include "storage/StoredLogin.h"

#include <QFile>

namespace {
AuthTransaction* instance = nullptr;
} // namespace

AuthTransaction* authTransaction()
{
    return instance;
}

void setAuthTransaction(AuthTransaction* transaction)
{
    instance = transaction;
}

AuthTransaction::AuthTransaction() : loginFilePath_(homeFilePath(SharedText::get().loginFileRel))
{
    loadLogin();
}

bool AuthTransaction::saveLogin()
{
    return StoredLogin::save(loginFilePath_, StoredLogin{loginUser, loginPassword, sessionId, sessionKey});
}

bool AuthTransaction::loadLogin()
{
    StoredLogin stored;
    if (StoredLogin::load(loginFilePath_, &stored) != StoredLogin::LoadResult::Loaded) {
        return false;
    }
    loginUser = stored.loginUser;
    loginPassword = stored.loginPassword;
    sessionId = stored.sessionId;
    sessionKey = stored.sessionKey;
    return true;
}

void AuthTransaction::clearLogin()
{
    loginUser.clear();
    loginPassword.clear();
    sessionId.clear();
    sessionKey.clear();
}

// ---- Authentication and synchronisation messages ----

QNetworkReply* AuthTransaction::postRequest(const QString& url, const QByteArray& body, int proxyMode) const
{
    return HttpsTransport::postRequest(url, body, proxyMode);
}

QByteArray AuthTransaction::buildAuthRequest(const QString& user, const QString& password,
                                             const QString& deviceIdentity)
{
    const QString nonce = RandomText::randomAlphanumerics(8);
    sessionKey = RandomText::randomLetters(32);
    loginUser = user;
    loginPassword = password;
    const QByteArray plaintext =
        PlainText::buildRequest(QByteArrayLiteral("3"), {user, password, deviceIdentity, sessionKey, nonce});
    // The session key travels in clear in front of the body it enciphers.
    return sessionKey.toLatin1() + cipher.encrypt(sessionKey, plaintext);
}

AuthTransaction::AuthOutcome AuthTransaction::decodeAuth(const QByteArray& body)
{
    // "-1" in clear: the server refused without enciphering anything.
    if (PlainText::readText(body) == QLatin1String("-1")) {
        return AuthOutcome::Refused;
    }
    const QString text = PlainText::readText(cipher.decrypt(sessionKey, body));
    if (!text.contains(PlainText::kFieldSeparatorChar)) {
        logActivity(QStringLiteral("Auth Server Decrypted Response  Failure!"));
        return AuthOutcome::Unreadable;
    }
    const QStringList fields = PlainText::fields(text);
    sessionId = fields.value(1);
    int code = 0;
    if (!PlainText::readResultCode(fields.value(0), &code)) {
        return AuthOutcome::Unreadable;
    }
    const SharedText& texts = SharedText::get();
    const QString prefix = QStringLiteral("Auth Server Response : ");
    switch (code) {
    case 0:
        logActivity(prefix + texts.msgEnterCredentials);
        return AuthOutcome::Refused;
    case 1:
        logActivity(prefix + texts.msgDeviceOtherUser);
        return AuthOutcome::Refused;
    case 10:
        saveLogin();
        logActivity(prefix + texts.msgLoginSuccess);
        return AuthOutcome::Opened;
    default:
        return AuthOutcome::Refused;
    }
}

QByteArray AuthTransaction::buildSyncRequest(const QString& deviceIdentity) const
{
    const QString nonce = RandomText::randomAlphanumerics(8);
    const QByteArray plaintext =
        PlainText::buildRequest(QByteArrayLiteral("4"), {loginUser, sessionId, deviceIdentity, nonce});
    // The session identifier in clear tells the server which session key deciphers the rest.
    return PlainText::latin1(sessionId) + cipher.encrypt(sessionKey, plaintext);
}

SyncReply AuthTransaction::readSyncReply(const QByteArray& body) const
{
    SyncReply reply;
    // A refusal is "-2" in clear. The enciphered reply is bytes, not text: for about one session key in 256 its
    // first byte is 0x00, which as text would read as an empty reply and fail every sync of that session.
    if (body.isEmpty() || PlainText::readText(body) == QLatin1String("-2")) {
        reply.outcome = SyncReply::Outcome::Unprocessable;
        return reply;
    }
    const QByteArray deciphered = cipher.decrypt(sessionKey, body);
    const QString text = PlainText::readText(deciphered);
    if (!text.contains(PlainText::kFieldSeparatorChar)) {
        reply.outcome = SyncReply::Outcome::Undecipherable;
        return reply;
    }
    reply.fields = PlainText::fields(text);
    reply.code = PlainText::resultCode(reply.fields);
    switch (reply.code) {
    case 0:
        reply.outcome = SyncReply::Outcome::EnterCredentials;
        break;
    case 1:
        reply.outcome = SyncReply::Outcome::SessionExpired;
        break;
    case 2:
        reply.outcome = SyncReply::Outcome::DeviceOtherUser;
        break;
    case 10:
        if (!reply.fields.value(1).isEmpty()) {
            reply.outcome = SyncReply::Outcome::Resources;
            reply.payload = deciphered.split(PlainText::kFieldSeparator).value(1);
        } else {
            reply.outcome = SyncReply::Outcome::NoResources;
        }
        break;
    default:
        reply.outcome = SyncReply::Outcome::Ignored;
        break;
    }
    return reply;
}

bool AuthTransaction::applySyncReply(const SyncReply& reply)
{
    const SharedText& texts = SharedText::get();
    logActivity(QStringLiteral("Sync Server Decrypted Response  Start!"));
    if (reply.outcome == SyncReply::Outcome::Unprocessable) {
        logActivity(QStringLiteral("Sync Server Decrypted Response Failure!"));
        showCoreMessage(texts.msgServerUnableToProcess, CoreServices::Critical);
        return false;
    }
    logActivity(QStringLiteral("Sync Server Decrypted Response  verify!"));
    logActivity(QStringLiteral("SyncTransResponceReturn.data() !"));
    if (reply.outcome == SyncReply::Outcome::Undecipherable) {
        showCoreMessage(QStringLiteral("Decrypted Failure"), CoreServices::Critical);
        logActivity(QStringLiteral("Sync Server Decrypted Response  Failure!"));
        return false;
    }
    logActivity(QStringLiteral("Sync Server Decrypted Sucess !"));
    const QString prefix = QStringLiteral("Sync Server Response : ");
    switch (reply.outcome) {
    case SyncReply::Outcome::EnterCredentials:
        logActivity(prefix + texts.msgEnterCredentials);
        showCoreMessage(texts.msgEnterCredentials, CoreServices::Critical);
        return false;
    case SyncReply::Outcome::SessionExpired:
        logActivity(prefix + texts.msgSessionExpired);
        showCoreMessage(texts.msgSessionExpired, CoreServices::Information);
        return false;
    case SyncReply::Outcome::DeviceOtherUser:
        logActivity(prefix + texts.msgDeviceOtherUser);
        showCoreMessage(texts.msgDeviceOtherUser, CoreServices::Critical);
        return false;
    case SyncReply::Outcome::Resources:
        installResources(reply.payload);
        return true;
    case SyncReply::Outcome::NoResources:
        if (CoreServices* services = coreServices()) {
            services->resetLoginStatus();
        }
        showCoreMessage(texts.msgTokenNotFound, CoreServices::Information);
        QFile::remove(homeFilePath(texts.resFileRel));
        return false;
    case SyncReply::Outcome::Unprocessable:
    case SyncReply::Outcome::Undecipherable:
    case SyncReply::Outcome::Ignored:
        break;
    }
    return false;
}

void AuthTransaction::installResources(const QByteArray& payload)
{
    resourceList() = ResourceStore::parseRecords(payload);
    if (ResourceStore* store = resourceStore()) {
        store->save(resourceList());
    }
}
