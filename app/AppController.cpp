#include "app/AppController.h"

#include "app/BaseScreen.h"
#include "app/DataPaths.h"
#include "app/MessageBox.h"
#include "app/SharedText.h"
#include "app/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "protocol/FileKey.h"
#include "protocol/RandomText.h"
#include "storage/CodedField.h"
#include "storage/StoredLogin.h"
#include "ui/login/MainWindow.h"
#include "ui/token/Tokendetails.h"

#include <QPixmap>

#include <cstdlib>

namespace {
AppController* instance = nullptr;
} // namespace

AppController* appController()
{
    return instance;
}

void setAppController(AppController* controller)
{
    instance = controller;
}

AppController::AppController()
    : container_(new BaseScreen(QPixmap(QStringLiteral(":/BG_Trans.png")))),
      loginFilePath_(homeFilePath(SharedText::get().loginFileRel)),
      resourceFilePath_(homeFilePath(SharedText::get().resFileRel)), log_(homeFilePath(SharedText::get().logFileRel))
{}

AppController::~AppController()
{
    delete container_;
}

void AppController::addStatusIndent(int n)
{
    if (n + 3 < 0) {
        return;
    }
    for (int i = 0; i < n + 4; ++i) {
        statusIndent += QLatin1Char(' ');
    }
}

QString AppController::deviceIdentity()
{
    if (deviceIdentity_.isEmpty()) {
        deviceIdentity_ = collectDeviceIdentity(3);
    }
    return deviceIdentity_;
}

QString AppController::collectDeviceIdentity(int stringIndex)
{
    const QString identity = DeviceIdentity::collect(stringIndex, windowsUserName());
    if (identity.isEmpty()) {
        MessageBox::critical(nullptr, SharedText::get().msgDeviceInfoFatal);
        std::exit(0);
    }
    return identity;
}

QString AppController::fileKey()
{
    return fileKeyFor(deviceIdentity());
}

bool AppController::hasStoredLogin()
{
    return StoredLogin::hasStoredLogin(loginFilePath_, resourceFilePath_);
}

QString AppController::randomLetters(int n) const
{
    return RandomText::randomLetters(n);
}

QString AppController::toBase64Text(const QString& value) const
{
    return CodedField::toBase64Text(value);
}

QString AppController::fromBase64Text(const QString& text) const
{
    return CodedField::fromBase64Text(text);
}

void AppController::writeLog(const QString& text)
{
    log_.write(text);
}

void AppController::showMessage(const QString& text, int kind)
{
    if (kind == Information) {
        MessageBox::information(loginWindow_, text);
    } else if (kind == Critical) {
        MessageBox::critical(loginWindow_, text);
    }
}

void AppController::resetLoginStatus()
{
    // The login window comes first: whatever box follows, the user is left with a window to sign in from.
    if (loginWindow_) {
        loginWindow_->setVisible(true);
    }
    if (tokenScreen_) {
        tokenScreen_->setVisible(false);
    }
    statusText = QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
    statusIndent.clear();
    addStatusIndent(statusText.size());
    statusText = statusIndent + statusText;
}

ProxyConfig AppController::proxyConfig() const
{
    return ProxyConfig{proxyHost, proxyPort, proxyUser, proxyPassword};
}

QString AppController::windowsUserName() const
{
    return Platform::accountName();
}
