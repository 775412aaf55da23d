#include "ui/login/MainWindow.h"

#include "app/AppController.h"
#include "app/BaseScreen.h"
#include "app/MessageBox.h"
#include "app/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/PlainText.h"
#include "protocol/ReplyCodes.h"
#include "ui/common/ButtonPicture.h"
#include "ui/common/ScreenFonts.h"
#include "ui/common/ScreenKeys.h"
#include "ui/common/StatusMarquee.h"
#include "ui/common/TlsComponentBox.h"
#include "ui/settings/ProxySettings.h"
#include "ui/token/Tokendetails.h"
#include "ui_MainWindow.h"

#include <QFont>
#include <QTimer>

namespace {

const QChar kGuillemet(0x00BB);

QString pleaseLogin()
{
    return QStringLiteral("  Please Login..!  ") + kGuillemet;
}

const QString kWaitLogin = QStringLiteral("  Please wait..  Login..!");
const QString kSendingRequest = QStringLiteral("  Please wait..  Sending Request...!");
const QString kAuthenticating = QStringLiteral("  Please wait..  Authenticating...!");
const QString kPleaseLoginDots = ReplyCodes::statusLineText(StatusLine::PleaseLogin);

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui_MainWindow>()), currentReply_(new ReplyTracker(this))
{
    ui->setupUi(this);
    assignStyle();
    focusUserName();

    connect(ui->leUserName, &QLineEdit::returnPressed, ui->lePassword, [this] { ui->lePassword->setFocus(); });
    connect(ui->lePassword, &QLineEdit::returnPressed, this, &MainWindow::connectDTM);
    connect(ui->pBLogin, &QPushButton::clicked, this, &MainWindow::connectDTM);
    ScreenKeys::bind(this, ui->pBTProxy, {QKeySequence(Qt::CTRL | Qt::Key_Comma)});

    marquee_ = new StatusMarquee(this, ui->lblStatus, &appController()->statusText);
    appController()->showLoginPrompt(marquee_);
}

MainWindow::~MainWindow() = default;

void MainWindow::setTagHidden(bool hide)
{
    ui->widgetLTag->setHidden(hide);
    ui->pBLogin->setHidden(hide);
    ui->leUserName->setHidden(hide);
    ui->lePassword->setHidden(hide);
}

void MainWindow::focusUserName()
{
    QTimer::singleShot(0, ui->leUserName, [field = ui->leUserName] { field->setFocus(); });
}

bool MainWindow::chainInFlight() const
{
    return currentReply_->current() != nullptr;
}

void MainWindow::connectDTM()
{
    // One sign-in at a time: a second click or Enter while a reply is awaited would start a second chain.
    if (chainInFlight()) {
        return;
    }
    ui->leUserName->setEnabled(false);
    ui->lePassword->setEnabled(false);
    ui->pBLogin->setEnabled(false);
    if (!validateUserInput()) {
        appController()->showMessage(SharedText::get().msgCredentialLength, CoreServices::Critical);
        login_enable();
        return;
    }
    marquee_->showPaddedMessage(kWaitLogin, kWaitLogin.size() - 5);
    statDTM();
}

bool MainWindow::validateUserInput()
{
    auto fits = [](const QString& text) { return text.size() >= 6 && text.size() <= 100; };
    return fits(ui->leUserName->text()) && fits(ui->lePassword->text());
}

void MainWindow::sendRequest(const QString& url, const QByteArray& body, const QString& firstStatus, ReplySlot slot)
{
    AppController* app = appController();
    if (app->proxyMode == 1) {
        app->writeLog(QStringLiteral("Proxy Configured:"));
    }
    if (!firstStatus.isEmpty()) {
        marquee_->showMessage(firstStatus);
    }
    currentReply_->track(authTransaction()->postRequest(url, body, app->proxyMode),
                         [this, slot](const ReplyResult& reply) { (this->*slot)(reply); });
    if (!firstStatus.isEmpty()) {
        marquee_->showMessage(kSendingRequest);
    }
}

void MainWindow::statDTM()
{
    const QByteArray body = regTransaction.buildStatusRequest(ui->leUserName->text(), ui->lePassword->text(),
                                                              appController()->deviceIdentity());
    sendRequest(SharedText::get().urlStatServlet, body, QStringLiteral(" Please wait.. Authenticating...!"),
                &MainWindow::StatReadyToRead);
}

void MainWindow::regDTM()
{
    const QByteArray body = regTransaction.buildRegRequest(ui->leUserName->text(), ui->lePassword->text(),
                                                           appController()->deviceIdentity());
    sendRequest(SharedText::get().urlRegServlet, body, kAuthenticating, &MainWindow::regReadyToRead);
}

void MainWindow::sendAuthRequest(const QString& url)
{
    // The session is opened with the blanks taken out; the status and registration requests carry them.
    QString user = ui->leUserName->text();
    QString password = ui->lePassword->text();
    user.remove(QLatin1Char(' '));
    password.remove(QLatin1Char(' '));
    const QByteArray body = authTransaction()->buildAuthRequest(user, password, appController()->deviceIdentity());
    sendRequest(url, body, kAuthenticating, &MainWindow::AuthReadyToRead);
}

void MainWindow::sendSyncRequest()
{
    const QByteArray body = authTransaction()->buildSyncRequest(appController()->deviceIdentity());
    sendRequest(SharedText::get().urlSyncServlet, body, QString(), &MainWindow::syncReadyToRead);
    // The line stands still until the resources have arrived.
    marquee_->showMessage(QStringLiteral("  Response Received...!"));
    clearFields();
    marquee_->stop();
}

void MainWindow::StatReadyToRead(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    AppController* app = appController();
    if (reply.error != 0) {
        app->showMessage(t.msgServerUnreachable, CoreServices::Critical);
        setStatusText(kPleaseLoginDots);
        login_enable();
        return;
    }
    app->writeLog(QStringLiteral("Network Connected Sucessfully"));
    int code = 0;
    if (!PlainText::readResultCode(regTransaction.decodeStatusReply(reply.body), &code)) {
        // Nothing readable came back: said as such, and the window is left as a failed request leaves it.
        app->showMessage(t.msgServerUnableToProcess, CoreServices::Critical);
        setStatusText(kPleaseLoginDots);
        login_enable();
        return;
    }
    if (const ReplyReaction* row = ReplyCodes::reactionTo(code)) {
        react(*row, row->onStatus);
    }
    // The fields stay as the code left them; Login is usable again once nothing is awaited.
    ui->pBLogin->setEnabled(!chainInFlight());
}

void MainWindow::regReadyToRead(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    AppController* app = appController();
    if (reply.error != 0) {
        app->showMessage(t.msgServerUnreachable, CoreServices::Critical);
        login_enable();
        return;
    }
    app->writeLog(QStringLiteral("Network Connected Sucessfully"));
    int code = 0;
    if (!PlainText::readResultCode(regTransaction.decodeRegReply(reply.body), &code)) {
        app->showMessage(t.msgServerUnableToProcess, CoreServices::Critical);
        login_enable();
        return;
    }
    if (const ReplyReaction* row = ReplyCodes::reactionTo(code)) {
        react(*row, row->onRegistration);
    }
    login_enable();
}

void MainWindow::react(const ReplyReaction& row, const LoginReaction& reaction)
{
    const QString line = ReplyCodes::statusLineText(reaction.line);
    if (reaction.lineFirst && !line.isEmpty()) {
        setStatusText(line);
    }
    if (reaction.box) {
        appController()->showMessage(SharedText::get().*row.message, row.boxKind);
    }
    if (!reaction.lineFirst && !line.isEmpty()) {
        setStatusText(line);
    }
    if (reaction.clearFields) {
        clearFields();
    }
    if (reaction.enableLogin) {
        login_enable();
    }
    if (reaction.clearPassword) {
        ui->lePassword->clear();
    }
    switch (reaction.next) {
    case NextRequest::None:
        break;
    case NextRequest::Authenticate:
        sendAuthRequest(SharedText::get().urlAuthServlet);
        break;
    case NextRequest::Register:
        regDTM();
        break;
    }
}

void MainWindow::AuthReadyToRead(const ReplyResult& reply)
{
    const SharedText& t = SharedText::get();
    if (reply.error != 0) {
        if (TlsComponentBox::isMissingComponent(reply.errorText)) {
            TlsComponentBox::show(this);
            marquee_->showMessage(pleaseLogin());
        } else {
            marquee_->showMessage(QStringLiteral("  ") + reply.errorText);
            appController()->showMessage(t.msgServerUnreachable, CoreServices::Critical);
            marquee_->showMessage(QStringLiteral(" Please Login..!  ") + kGuillemet);
        }
        login_enable();
        return;
    }
    switch (authTransaction()->decodeAuth(reply.body)) {
    case AuthTransaction::AuthOutcome::Opened:
        // The fields stay disabled until the resources have arrived.
        sendSyncRequest();
        return;
    case AuthTransaction::AuthOutcome::Unreadable:
        // As a failed request: said, the fields kept for another try.
        appController()->showMessage(t.msgServerUnableToProcess, CoreServices::Critical);
        marquee_->showMessage(QStringLiteral(" Please Login..!  ") + kGuillemet);
        login_enable();
        return;
    case AuthTransaction::AuthOutcome::Refused:
        break;
    }
    clearFields();
    focusUserName();
    marquee_->showMessage(pleaseLogin());
    login_enable();
}

void MainWindow::syncReadyToRead(const ReplyResult& reply)
{
    AppController* app = appController();
    if (reply.error != 0) {
        marquee_->showMessage(QStringLiteral("  ") + reply.errorText);
        app->showMessage(SharedText::get().msgServerUnreachable, CoreServices::Critical);
        marquee_->showMessage(pleaseLogin());
    } else {
        app->writeLog(QStringLiteral("Network Connected Sucessfully"));
        if (authTransaction()->decodeSyncReply(reply.body)) {
            handOverToTokenScreen();
        } else {
            // Nothing is awaited any more: ask for a new sign-in rather than scroll "Please wait".
            marquee_->showMessage(pleaseLogin());
        }
    }
    ui->lePassword->clear();
    login_enable();
}

void MainWindow::handOverToTokenScreen()
{
    AppController* app = appController();
    app->writeLog(QStringLiteral("Persist data is Started"));
    authTransaction()->saveLogin();
    hide();
    if (Tokendetails* token = app->tokenScreen()) {
        token->resetCountdown();
        token->showStatusView();
        token->show();
        token->showResource(0);
        token->startCountdown();
        token->showCurrentResource();
    }
    // The token screen's own marquee scrolls the shared text from now on.
    marquee_->stop();
    app->writeLog(QStringLiteral("Persist data is completed"));
}

void MainWindow::updateStatusMessage()
{
    marquee_->tick();
}

void MainWindow::addingSpace(int sLength)
{
    marquee_->addingSpace(sLength);
}

void MainWindow::login_enable()
{
    ui->leUserName->setEnabled(true);
    ui->lePassword->setEnabled(true);
    ui->pBLogin->setEnabled(!chainInFlight());
    // The fields lost the focus while they were disabled; whatever the user types next belongs in the user name.
    if (isVisible() && !ui->leUserName->hasFocus() && !ui->lePassword->hasFocus()) {
        focusUserName();
    }
}

void MainWindow::on_pBExit_clicked()
{
    appController()->closeToTray(this);
}

void MainWindow::on_pBTProxy_clicked()
{
    AppController* app = appController();
    app->settingsCaller = QStringLiteral("Login");
    app->settingsWindow()->show();
    hide();
    if (Tokendetails* token = app->tokenScreen()) {
        token->resetCountdown();
        token->hide();
    }
    setStatusText(pleaseLogin());
    login_enable();
}

void MainWindow::assignStyle()
{
    ui->pBExit->setGeometry(222, 10, 31, 23);

    ButtonPicture::set(ui->pBLogin, QStringLiteral(":/login.png"));
    ButtonPicture::set(ui->pBTProxy, QStringLiteral(":/Tools.png"));
    ui->pBTProxy->setGeometry(50, 85, 32, 32);
    ButtonPicture::set(ui->pBSync, QStringLiteral(":/update.png"));
    ButtonPicture::set(ui->pBLogout, QStringLiteral(":/logout.png"));
    ButtonPicture::set(ui->pBNext, QStringLiteral(":/next.png"));
    ButtonPicture::set(ui->pBPrev, QStringLiteral(":/previous.png"));

    // The token screen's buttons are part of the picture here but do nothing.
    ui->pBPrev->setGeometry(120, 85, 41, 32);
    ui->pBNext->setGeometry(178, 85, 41, 32);
    ui->pBLogout->setGeometry(20, 85, 32, 32);
    ui->pBSync->setGeometry(80, 85, 32, 32);
    ui->pBLogout->setEnabled(false);
    ui->pBSync->setEnabled(false);
    ui->pBNext->setEnabled(false);
    ui->pBPrev->setEnabled(false);

    ScreenFonts::registerLcdFont();

    ui->widgetToken->setGeometry(0, 0, 275, 139);
    ui->widgetToken->setStyleSheet(QStringLiteral("QWidget {background-image: url(:/BG_OTP.png);}"));
    const QString tagStyle = QStringLiteral("QWidget {background-image: url(:/Token_rthread.png);}");
    ui->widgetLTag->setStyleSheet(tagStyle);
    ui->VeltraneLogo->setStyleSheet(QStringLiteral("QWidget{background-image: url(:/CompLogo.png);}"));
    ui->VeltraneLogo->setGeometry(36, 32, 32, 32);
    ui->frameUser->setStyleSheet(QStringLiteral("QFrame {background-image: url(:/User_24.png);}"));
    ui->framePassword->setStyleSheet(QStringLiteral("QFrame {background-image: url(:/Password_24.png);}"));
    ui->widgetLTag->setStyleSheet(tagStyle);
    const QString fieldStyle =
        QStringLiteral("QLineEdit {color: rgb(0, 0, 0);selection-color: white; border: 2px groove gray; "
                       "border-radius: 10px; padding: 2px 4px; };");
    ui->leUserName->setStyleSheet(fieldStyle);
    ui->lePassword->setStyleSheet(fieldStyle);

    ui->lblStatus->setGeometry(90, 35, 118, 31);
    ui->lblStatus->show();

    const QString flatButton = QStringLiteral("QPushButton{ border:0px;}");
    ui->pBExit->setStyleSheet(flatButton);
    ui->pBLogin->setStyleSheet(flatButton);

    ui->lblStatus->setFont(QFont(QStringLiteral("digital-7"), 14));
}

void MainWindow::setStatusText(const QString& text)
{
    marquee_->setText(text);
}

void MainWindow::clearFields()
{
    ui->leUserName->clear();
    ui->lePassword->clear();
}
