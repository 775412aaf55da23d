#include "ui/shell/AppController.h"

#include "cipher/FileKey.h"
#include "cipher/RandomText.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "core/StartupTrace.h"
#include "core/platform/Platform.h"
#include "identity/DeviceIdentity.h"
#include "storage/CodedField.h"
#include "storage/SettingsFile.h"
#include "storage/StoredLogin.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>

#include <cstdlib>

namespace {
AppController* instance = nullptr;

// The container's picture at the screen's pixel ratio: a plain QPixmap reads the 1x file only, an icon also finds its
// @2x twin on a high-density screen.
QPixmap containerPicture()
{
    const QString path = QStringLiteral(":/BG_Trans.png");
    const QPixmap picture = QIcon(path).pixmap(QImageReader(path).size(), qApp->devicePixelRatio());
    StartupTrace::step("container picture");
    return picture;
}
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
    : container_(new BaseScreen(containerPicture())), loginFilePath_(homeFilePath(SharedText::get().loginFileRel)),
      resourceFilePath_(homeFilePath(SharedText::get().resFileRel)),
      settingsFilePath_(homeFilePath(SharedText::get().settingsFileRel)),
      log_(homeFilePath(SharedText::get().logFileRel))
{
    // The information tags hide while the container is inactive, when the preference asks for it.
    connect(container_, &BaseScreen::activationChanged, this, [this](bool wasActive) {
        if (hideInfoTag) {
            onActivationChange(wasActive);
        }
    });
}

AppController::~AppController()
{
    delete container_;
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
    // The login window comes first, before any box that follows, so that a user whose stored data turned out
    // unusable always has a window to sign in from.
    emit loginStatusReset();
    showLoginPrompt();
}

void AppController::showLoginPrompt()
{
    const QString prompt = QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
    status_.setIndent(QString());
    status_.addIndent(prompt.size());
    // A new message, so that the lines are named after the prompt at once.
    status_.setMessage(status_.indent() + prompt);
    emit loginPromptShown();
}

ProxyConfig AppController::proxyConfig() const
{
    return ProxyConfig{proxyHost, proxyPort, proxyUser, proxyPassword};
}

void AppController::readSettingsFile()
{
    const SettingsValues values = SettingsFile::read(settingsFilePath_);
    proxyMode = values.proxyMode;
    proxyHost = values.proxyHost;
    proxyPort = values.proxyPort;
    proxyUser = values.proxyUser;
    proxyPassword = values.proxyPassword;
    alwaysOnTop = values.alwaysOnTop;
    hideInfoTag = values.hideInfoTag;
}

bool AppController::writeSettingsFile()
{
    SettingsValues values;
    values.proxyMode = proxyMode;
    values.proxyHost = proxyHost;
    values.proxyPort = proxyPort;
    values.proxyUser = proxyUser;
    values.proxyPassword = proxyPassword;
    values.alwaysOnTop = alwaysOnTop;
    values.hideInfoTag = hideInfoTag;
    return SettingsFile::write(settingsFilePath_, values);
}

void AppController::onActivationChange(bool wasActive)
{
    emit activationChanged(wasActive);
}

bool AppController::hasTray() const
{
    return !container_->minimisesInsteadOfHiding();
}

void AppController::setHasTray(bool hasTray)
{
    container_->setMinimisesInsteadOfHiding(!hasTray);
}

void AppController::closeToTray(QWidget* parent)
{
    if (!hasTray()) {
        // Hidden, nothing could bring it back: it waits on the taskbar instead.
        container_->showMinimized();
        return;
    }
    MessageBox::about(parent, SharedText::get().appName, SharedText::get().msgRunsInTray);
    container_->setVisible(false);
}

QString AppController::windowsUserName() const
{
    return Platform::accountName();
}
