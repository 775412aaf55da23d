#include "protocol/SignInChain.h"

#include "cipher/PlainText.h"
#include "core/CoreServices.h"
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/ReplyCodes.h"

#include <utility>

namespace {

const QChar kGuillemet(0x00BB);

QString pleaseLogin()
{
    return QStringLiteral("  Please Login..!  ") + kGuillemet;
}

// After a failed authentication the prompt comes with one blank less in front.
QString pleaseLoginAgain()
{
    return QStringLiteral(" Please Login..!  ") + kGuillemet;
}

const QString kWaitLogin = QStringLiteral("  Please wait..  Login..!");
const QString kSendingRequest = QStringLiteral("  Please wait..  Sending Request...!");
const QString kAuthenticating = QStringLiteral("  Please wait..  Authenticating...!");
const QString kConnected = QStringLiteral("Network Connected Sucessfully");

QString deviceIdentity()
{
    CoreServices* services = coreServices();
    return services ? services->deviceIdentity() : QString();
}

} // namespace

SignInChain::SignInChain(CredentialSource credentials, ProxyModeSource proxyMode, QObject* parent)
    : QObject(parent), credentials_(std::move(credentials)), proxyMode_(std::move(proxyMode)),
      currentReply_(new ReplyTracker(this))
{}

bool SignInChain::acceptsCredentials(const Credentials& credentials)
{
    auto fits = [](const QString& text) { return text.size() >= 6 && text.size() <= 100; };
    return fits(credentials.user) && fits(credentials.password);
}

bool SignInChain::inFlight() const
{
    return currentReply_->current() != nullptr;
}

void SignInChain::start()
{
    // One sign-in at a time: a second click or Enter while a reply is awaited would start a second chain.
    if (inFlight()) {
        return;
    }
    emit fieldsDisabled();
    if (!acceptsCredentials(credentials_())) {
        emit boxRequested(SharedText::get().msgCredentialLength, CoreServices::Critical);
        emit fieldsEnabled();
        return;
    }
    emit statusChanged(kWaitLogin, LineChange::Padded);
    sendStatusRequest();
}

void SignInChain::sendRequest(const QString& url, const QByteArray& body, const QString& firstStatus,
                              ReplyReader reader)
{
    const int proxyMode = proxyMode_();
    if (proxyMode == 1) {
        logActivity(QStringLiteral("Proxy Configured:"));
    }
    if (!firstStatus.isEmpty()) {
        emit statusChanged(firstStatus, LineChange::Scroll);
    }
    currentReply_->track(authTransaction()->postRequest(url, body, proxyMode),
                         [this, reader](const ReplyResult& reply) { (this->*reader)(reply); });
    if (!firstStatus.isEmpty()) {
        emit statusChanged(kSendingRequest, LineChange::Scroll);
    }
}

void SignInChain::sendStatusRequest()
{
    const Credentials typed = credentials_();
    const QByteArray body = regTransaction_.buildStatusRequest(typed.user, typed.password, deviceIdentity());
    sendRequest(SharedText::get().urlStatServlet, body, QStringLiteral(" Please wait.. Authenticating...!"),
                &SignInChain::readStatusReply);
}

void SignInChain::sendRegRequest()
{
    const Credentials typed = credentials_();
    const QByteArray body = regTransaction_.buildRegRequest(typed.user, typed.password, deviceIdentity());
    sendRequest(SharedText::get().urlRegServlet, body, kAuthenticating, &SignInChain::readRegReply);
}

void SignInChain::sendAuthRequest(const QString& url)
{
    Credentials typed = credentials_();
    typed.user.remove(QLatin1Char(' '));
    typed.password.remove(QLatin1Char(' '));
    const QByteArray body = authTransaction()->buildAuthRequest(typed.user, typed.password, deviceIdentity());
    sendRequest(url, body, kAuthenticating, &SignInChain::readAuthReply);
}

void SignInChain::sendSyncRequest()
{
    const QByteArray body = authTransaction()->buildSyncRequest(deviceIdentity());
    sendRequest(SharedText::get().urlSyncServlet, body, QString(), &SignInChain::readSyncReply);
    // The line stands still, the fields empty, until the resources have arrived.
    emit statusChanged(QStringLiteral("  Response Received...!"), LineChange::Scroll);
    emit fieldsCleared();
    emit statusHeld();
}

void SignInChain::fail(const QString& boxText, const QString& line)
{
    emit boxRequested(boxText, CoreServices::Critical);
    if (!line.isEmpty()) {
        emit statusChanged(line, LineChange::Replace);
    }
    emit fieldsEnabled();
}

void SignInChain::readStatusReply(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    const QString pleaseLoginDots = ReplyCodes::statusLineText(StatusLine::PleaseLogin);
    if (reply.error != 0) {
        fail(t.msgServerUnreachable, pleaseLoginDots);
        return;
    }
    logActivity(kConnected);
    int code = 0;
    if (!PlainText::readResultCode(regTransaction_.decodeStatusReply(reply.body), &code)) {
        // Nothing readable came back: said as such, and the screen is left as a failed request leaves it.
        fail(t.msgServerUnableToProcess, pleaseLoginDots);
        return;
    }
    if (const ReplyReaction* row = ReplyCodes::reactionTo(code)) {
        react(*row, row->onStatus);
    }
    // The fields stay as the code left them; Login is usable again once nothing is awaited.
    emit loginButtonEnabled(!inFlight());
}

void SignInChain::readRegReply(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    if (reply.error != 0) {
        // The line stays as it was.
        fail(t.msgServerUnreachable, QString());
        return;
    }
    logActivity(kConnected);
    int code = 0;
    if (!PlainText::readResultCode(regTransaction_.decodeRegReply(reply.body), &code)) {
        fail(t.msgServerUnableToProcess, QString());
        return;
    }
    if (const ReplyReaction* row = ReplyCodes::reactionTo(code)) {
        react(*row, row->onRegistration);
    }
    emit fieldsEnabled();
}

void SignInChain::react(const ReplyReaction& row, const LoginReaction& reaction)
{
    const QString line = ReplyCodes::statusLineText(reaction.line);
    if (reaction.lineFirst && !line.isEmpty()) {
        emit statusChanged(line, LineChange::Replace);
    }
    if (reaction.box) {
        emit boxRequested(SharedText::get().*row.message, row.boxKind);
    }
    if (!reaction.lineFirst && !line.isEmpty()) {
        emit statusChanged(line, LineChange::Replace);
    }
    if (reaction.clearFields) {
        emit fieldsCleared();
    }
    if (reaction.enableLogin) {
        emit fieldsEnabled();
    }
    if (reaction.clearPassword) {
        emit passwordCleared();
    }
    switch (reaction.next) {
    case NextRequest::None:
        break;
    case NextRequest::Authenticate:
        sendAuthRequest(SharedText::get().urlAuthServlet);
        break;
    case NextRequest::Register:
        sendRegRequest();
        break;
    }
}

void SignInChain::readAuthReply(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    if (reply.error != 0) {
        if (HttpsTransport::lacksTlsComponent(reply.errorText)) {
            emit tlsComponentMissing();
            emit statusChanged(pleaseLogin(), LineChange::Scroll);
        } else {
            emit statusChanged(QStringLiteral("  ") + reply.errorText, LineChange::Scroll);
            emit boxRequested(t.msgServerUnreachable, CoreServices::Critical);
            emit statusChanged(pleaseLoginAgain(), LineChange::Scroll);
        }
        emit fieldsEnabled();
        return;
    }
    switch (authTransaction()->decodeAuth(reply.body)) {
    case AuthTransaction::AuthOutcome::Opened:
        // The fields stay disabled until the resources have arrived.
        sendSyncRequest();
        return;
    case AuthTransaction::AuthOutcome::Unreadable:
        // As a failed request: said, the fields kept for another try.
        emit boxRequested(t.msgServerUnableToProcess, CoreServices::Critical);
        emit statusChanged(pleaseLoginAgain(), LineChange::Scroll);
        emit fieldsEnabled();
        return;
    case AuthTransaction::AuthOutcome::Refused:
        break;
    }
    emit fieldsCleared();
    emit userNameFocusRequested();
    emit statusChanged(pleaseLogin(), LineChange::Scroll);
    emit fieldsEnabled();
}

void SignInChain::readSyncReply(const ReplyResult& reply)
{
    if (reply.error != 0) {
        emit statusChanged(QStringLiteral("  ") + reply.errorText, LineChange::Scroll);
        emit boxRequested(SharedText::get().msgServerUnreachable, CoreServices::Critical);
        emit statusChanged(pleaseLogin(), LineChange::Scroll);
    } else {
        logActivity(kConnected);
        if (authTransaction()->decodeSyncReply(reply.body)) {
            handOver();
        } else {
            // Nothing is awaited any more: ask for a new sign-in rather than scroll "Please wait".
            emit statusChanged(pleaseLogin(), LineChange::Scroll);
        }
    }
    emit passwordCleared();
    emit fieldsEnabled();
}

void SignInChain::handOver()
{
    logActivity(QStringLiteral("Persist data is Started"));
    // A login.dat that could not be written has been told about already (StoredFile::replaceOrTell); the session
    // goes on in memory, but the log does not claim it was kept.
    const bool saved = authTransaction()->saveLogin();
    emit signedIn();
    if (saved) {
        logActivity(QStringLiteral("Persist data is completed"));
    }
}
