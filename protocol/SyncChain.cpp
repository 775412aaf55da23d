#include "protocol/SyncChain.h"

#include "cipher/PlainText.h"
#include "core/Clock.h"
#include "core/CoreServices.h"
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/HttpsTransport.h"
#include "protocol/ReplyCodes.h"
#include "protocol/ServerDate.h"
#include "storage/ResourceStore.h"
#include "storage/StoredFile.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>

namespace {
QString deviceIdentity()
{
    CoreServices* services = coreServices();
    return services ? services->deviceIdentity() : QString();
}
} // namespace

SyncChain::SyncChain(Settings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), replies_(new ReplyTracker(this))
{}

SyncChain::~SyncChain() = default;

bool SyncChain::busy() const
{
    return replies_->current() != nullptr;
}

void SyncChain::cancel()
{
    replies_->release();
}

bool SyncChain::hasSession() const
{
    const bool unsaved = StoredFile::isUnsaved(authTransaction()->loginFilePath()) ||
                         (resourceStore() && StoredFile::isUnsaved(resourceStore()->path()));
    return unsaved || settings_.hasStoredLogin();
}

bool SyncChain::start()
{
    if (!hasSession()) {
        qDebug() << "Check Condition in tokendetails ";
        refuseWithoutSession();
        return false;
    }
    // The session in memory is newer than a login.dat that could not be written: reading that back would bring an
    // older sign-in, or none.
    if (!StoredFile::isUnsaved(authTransaction()->loginFilePath())) {
        authTransaction()->loadLogin();
    }
    return true;
}

void SyncChain::refuseWithoutSession()
{
    emit message(SharedText::get().msgDataCorrupted, CoreServices::Critical);
    emit loginNeeded();
    emit finished();
}

void SyncChain::logProxyMode()
{
    if (settings_.proxyMode() == 1) {
        logActivity(QStringLiteral("Proxy Configured:"));
    }
}

void SyncChain::sendStatusRequest()
{
    AuthTransaction* session = authTransaction();
    const QByteArray body =
        regTransaction_.buildStatusRequest(session->loginUser, session->loginPassword, deviceIdentity());
    logProxyMode();
    QNetworkReply* reply = session->postRequest(SharedText::get().urlStatServlet, body, settings_.proxyMode());
    replies_->track(reply, [this](const ReplyResult& result) { readStatusReply(result); });
}

void SyncChain::readStatusReply(const ReplyResult& reply)
{
    const SharedText& texts = SharedText::get();
    if (reply.error != 0) {
        emit statusRequestFailed(texts.msgServerUnreachable);
        emit finished();
        return;
    }
    logActivity(QStringLiteral("Network Connected Sucessfully"));
    int code = 0;
    if (!PlainText::readResultCode(regTransaction_.decodeStatusReply(reply.body), &code)) {
        // Nothing readable came back: said as such, and back to the code as after a failed request.
        emit statusRequestFailed(texts.msgServerUnableToProcess);
        emit finished();
        return;
    }
    if (const ReplyReaction* row = ReplyCodes::reactionTo(code)) {
        const TokenReaction& reaction = row->onTokenStatus;
        if (reaction.box) {
            emit message(texts.*row->message, row->boxKind);
        }
        switch (reaction.step) {
        case TokenStep::Stay:
            break;
        case TokenStep::Sync:
            sendSyncRequest();
            break;
        case TokenStep::SignOutTryLater:
            emit statusLineChanged(ReplyCodes::statusLineText(StatusLine::TryLater));
            [[fallthrough]];
        case TokenStep::SignOut:
            // The stored sign-in is of no more use: it is forgotten, and the user signs in again.
            emit loginNeeded();
            forgetStoredLogin();
            break;
        }
    }
    // Nothing follows while the sync request is in flight.
    if (!busy()) {
        emit finished();
    }
}

void SyncChain::forgetStoredLogin()
{
    AuthTransaction* session = authTransaction();
    session->clearLogin();
    session->saveLogin();
    // Without its session the stored list is of no use: the next start must open the login window.
    if (ResourceStore* store = resourceStore()) {
        QFile::remove(store->path());
    }
}

void SyncChain::sendSyncRequest()
{
    emit syncRequestStarting();
    if (!hasSession()) {
        refuseWithoutSession();
        return;
    }
    AuthTransaction* session = authTransaction();
    const QByteArray body = session->buildSyncRequest(deviceIdentity());
    logActivity(QStringLiteral("Sync Request Format is Processing...!"));
    logProxyMode();
    QNetworkReply* reply = session->postRequest(SharedText::get().urlSyncServlet, body, settings_.proxyMode());
    replies_->track(reply, [this](const ReplyResult& result) { readSyncReply(result); });
}

void SyncChain::readSyncReply(const ReplyResult& reply)
{
    if (reply.error == 0) {
        logActivity(QStringLiteral("Sync Reply : Data Received Successfully...!"));
    }
    emit syncReplyArrived();
    if (reply.error != 0) {
        emit syncFailed(reply.errorText);
        emit finished();
        return;
    }
    AuthTransaction* session = authTransaction();
    if (!session->decodeSyncReply(reply.body)) {
        emit syncRefused();
        emit finished();
        return;
    }
    emit syncStoring();
    logActivity(QStringLiteral("Persist data is Started"));
    session->saveLogin();
    checkServerTime(reply.dateHeader);
    logActivity(QStringLiteral("Persist data is completed"));
    logActivity(SharedText::get().appNameVersion + QStringLiteral("End"));
    emit synced();
    emit finished();
}

void SyncChain::checkServerTime(const QByteArray& dateHeader)
{
    // The Date header names whole seconds; our clock is read to the whole second too, or a clock 121 s behind the
    // server's would read 120 s for most of every second and go unwarned.
    const QDateTime local = QDateTime::fromSecsSinceEpoch(Clock::current().secondsSinceEpoch(), Qt::UTC);
    const QDateTime server = ServerDate::parse(dateHeader, local);
    const qint64 difference = ServerDate::secondsDifference(local, server);
    logActivity(QStringLiteral("Server Date Time: ") + server.toString(Qt::TextDate));
    logActivity(QStringLiteral("Local Date Time: ") + local.toString(Qt::TextDate));
    logActivity(QStringLiteral("Seconds Difference:") + QString::number(difference));
    if (difference > 120 || difference < -120) {
        emit message(SharedText::get().msgAdjustSystemTime, CoreServices::Critical);
    }
}
