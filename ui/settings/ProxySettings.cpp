#include "ui/settings/ProxySettings.h"

#include "ui_ProxySettings.h"

#include "core/SharedText.h"
#include "core/platform/Platform.h"
#include "ui/common/ScreenKeys.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"

#include <QCoreApplication>
#include <QShortcut>
#include <QTimer>

namespace {
const char* const kLineEditStyle = "QLineEdit {color: rgb(0, 0, 0);selection-color: white; border: 1px groove gray; "
                                   "border-radius: 2px; padding: 2px 4px; };";
const char* const kPageStyle = "QWidget {background-image: url(:/proxy_bg.png);}";
const int kProxyPage = 0;
const int kPreferencePage = 1;
// Shown when Proxy.dat could not be replaced (full disk, a data folder that cannot be written).
const char* const kSettingsNotSaved = "Veltrane Auth could not save your settings. They apply until the program ends; "
                                      "please check that your home folder can be written and save them again.";
// Shown when the session's autostart entry could not be written or removed.
const char* const kStartNotChanged = "Veltrane Auth could not change whether it starts when you log in; please check "
                                     "that your configuration folder can be written and save again.";
} // namespace

ProxySettings::ProxySettings(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::ProxySettings>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    ui->widgetPD->hide();
    if (AppController* controller = appController()) {
        controller->alwaysOnTop = controller->container() && controller->container()->alwaysOnTop();
    }
    getNetworkSettingsFromRegistry();

    ui->tabWidget->setTabIcon(kProxyPage, QIcon(QStringLiteral(":/proxy_server.png")));
    ui->tabWidget->setTabIcon(kPreferencePage, QIcon(QStringLiteral(":/Preference.png")));
    ui->widgetProxyDetails->setStyleSheet(QLatin1String(kPageStyle));
    ui->widgetAppConfig->setStyleSheet(QLatin1String(kPageStyle));
    for (QLineEdit* edit : {ui->lEProxyHost, ui->lEProxyPort, ui->lEProxyUsername, ui->lEProxyPassword}) {
        edit->setStyleSheet(QLatin1String(kLineEditStyle));
    }
    ui->tabWidget->setStyleSheet(SharedText::get().settingsTabStyleSheet);

    // Return in any field saves, as the bar's first button; Escape leaves, as its second.
    ScreenKeys::bind(this, ui->pBProxySave, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    ScreenKeys::bind(this, ui->pBProxyCancel, {QKeySequence(Qt::Key_Escape)});
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_Backtab),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            ui->tabWidget->setCurrentIndex(ui->tabWidget->currentIndex() == kProxyPage ? kPreferencePage : kProxyPage);
        });
    }
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this] {
        if (isVisible()) {
            focusFirstField();
        }
    });
}

void ProxySettings::focusFirstField()
{
    QWidget* first = ui->tabWidget->currentIndex() == kProxyPage ? static_cast<QWidget*>(ui->chkBProxyEnabled)
                                                                 : static_cast<QWidget*>(ui->chkAlways);
    first->setFocus(Qt::TabFocusReason);
}

void ProxySettings::showEvent(QShowEvent* event)
{
    // The entry belongs to the session: the desktop's own start-up settings may have changed it meanwhile.
    ui->chkStartWithSession->setChecked(Platform::startsWithSession());
    QWidget::showEvent(event);
    // The focus the hidden screen held would otherwise pass on along the chain, to a control the user cannot see.
    // A turn late, after any late focus of the screen that opened this window.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) {
            focusFirstField();
        }
    });
}

ProxySettings::~ProxySettings() = default;

bool ProxySettings::validateProxyFields()
{
    AppController* controller = appController();
    const SharedText& text = SharedText::get();
    if (ui->lEProxyHost->text().trimmed().isEmpty()) {
        controller->showMessage(text.msgProxyHostInvalid, AppController::Critical);
        ui->tabWidget->setCurrentIndex(kProxyPage);
        return false;
    }
    // Only ports a TCP connection can use; a larger number would otherwise be cut to its low 16 bits.
    const QString port = ui->lEProxyPort->text().trimmed();
    bool isNumber = false;
    const int portNumber = port.toInt(&isNumber, 10);
    if (port.isEmpty() || !isNumber || portNumber < 1 || portNumber > 65535) {
        controller->showMessage(text.msgProxyPortInvalid, AppController::Critical);
        ui->tabWidget->setCurrentIndex(kProxyPage);
        return false;
    }
    if (!ui->lEProxyPassword->text().trimmed().isEmpty() && ui->lEProxyUsername->text().trimmed().isEmpty()) {
        ui->tabWidget->setCurrentIndex(kProxyPage);
        controller->showMessage(text.msgProxyUserInvalid, AppController::Critical);
        return false;
    }
    return true;
}

void ProxySettings::on_pBProxySave_clicked()
{
    AppController* controller = appController();
    const bool proxyEnabled = ui->chkBProxyEnabled->checkState() != Qt::Unchecked;
    if (proxyEnabled && !validateProxyFields()) {
        return;
    }
    if (proxyEnabled) {
        controller->proxyMode = 1;
        // Stored as they were checked: trimmed.
        controller->proxyHost = ui->lEProxyHost->text().trimmed();
        controller->proxyPort = ui->lEProxyPort->text().trimmed().toInt();
        controller->proxyUser = ui->lEProxyUsername->text().trimmed();
        controller->proxyPassword = ui->lEProxyPassword->text();
    } else {
        // The form keeps what it shows; only the stored values are cleared.
        controller->proxyMode = 0;
        controller->proxyHost.clear();
        controller->proxyPort = 0;
        controller->proxyUser.clear();
        controller->proxyPassword.clear();
    }
    controller->alwaysOnTop = ui->chkAlways->isChecked();
    controller->hideInfoTag = ui->chkActiveTag->isChecked();
    // Kept by the session itself, not in Proxy.dat. Applied first: re-applying "Always Top" shows this window
    // again, which reads the box back from the entry.
    if (!Platform::setStartsWithSession(ui->chkStartWithSession->isChecked(),
                                        QCoreApplication::applicationFilePath())) {
        controller->writeLog(QStringLiteral("autostart entry could not be changed"));
        MessageBox::critical(this, QString::fromLatin1(kStartNotChanged));
    }
    setNetworkSettingsToRegistry();
    returnToCaller();
}

void ProxySettings::on_chkBProxyEnabled_clicked()
{
    ui->widgetPD->setVisible(ui->chkBProxyEnabled->isChecked());
}

void ProxySettings::on_pBProxyCancel_clicked()
{
    // Nothing is stored and the form keeps what the user typed.
    returnToCaller();
}

bool ProxySettings::setNetworkSettingsToRegistry()
{
    AppController* controller = appController();
    controller->writeLog(QStringLiteral("Write Proxy"));
    controller->writeLog(QStringLiteral("Set Proxy and the file Persist"));
    const bool written = controller->writeSettingsFile();
    if (written) {
        controller->writeLog(QStringLiteral("perisit complete"));
    } else {
        controller->writeLog(QStringLiteral("Proxy.dat could not be written"));
        MessageBox::critical(this, QString::fromLatin1(kSettingsNotSaved));
    }
    if (BaseScreen* container = controller->container()) {
        container->setAlwaysOnTop(controller->alwaysOnTop);
    }
    return written;
}

void ProxySettings::getNetworkSettingsFromRegistry()
{
    AppController* controller = appController();
    if (!controller) {
        return;
    }
    controller->readSettingsFile();
    if (controller->proxyMode == 1) {
        ui->chkBProxyEnabled->setChecked(true);
        ui->widgetPD->show();
        ui->lEProxyHost->setText(controller->proxyHost);
        ui->lEProxyPort->setText(QString::number(controller->proxyPort));
        ui->lEProxyUsername->setText(controller->proxyUser);
        ui->lEProxyPassword->setText(controller->proxyPassword);
    } else {
        ui->chkBProxyEnabled->setChecked(false);
        ui->widgetPD->hide();
        ui->lEProxyHost->clear();
        ui->lEProxyPort->clear();
        ui->lEProxyUsername->clear();
        ui->lEProxyPassword->clear();
    }
    ui->chkAlways->setChecked(controller->alwaysOnTop);
    ui->chkActiveTag->setChecked(controller->hideInfoTag);
}

void ProxySettings::returnToCaller()
{
    const QString caller = appController()->settingsCaller;
    if (caller != QLatin1String("Login") && caller != QLatin1String("Token")) {
        return;
    }
    hide();
    emit returnRequested(caller);
}
