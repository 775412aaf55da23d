#include "protocol/AuthTransaction.h"

#include "app/DataPaths.h"
#include "app/SharedText.h"
#include "storage/StoredLogin.h"

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

void AuthTransaction::saveLogin()
{
    StoredLogin::save(loginFilePath_, StoredLogin{loginUser, loginPassword, sessionId, sessionKey});
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
