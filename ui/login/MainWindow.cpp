#include "ui/login/MainWindow.h"

#include "ui/common/ButtonPicture.h"
#include "ui/common/ScreenFonts.h"
#include "ui/common/ScreenKeys.h"
#include "ui/common/StatusMarquee.h"
#include "ui/common/TlsComponentBox.h"
#include "ui/shell/AppController.h"
#include "ui_MainWindow.h"

#include <QFont>
#include <QTimer>

namespace {

QString pleaseLogin()
{
    return QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui_MainWindow>())
{
    ui->setupUi(this);
    // Each request is built from the fields as they are then, and goes with the proxy mode of that moment.
    chain_ = new SignInChain(
        [this] {
            return SignInChain::Credentials{ui->leUserName->text(), ui->lePassword->text()};
        },
        [] { return appController()->proxyMode; }, this);
    assignStyle();
    focusUserName();

    connect(ui->leUserName, &QLineEdit::returnPressed, ui->lePassword, [this] { ui->lePassword->setFocus(); });
    connect(ui->lePassword, &QLineEdit::returnPressed, this, &MainWindow::connectDTM);
    connect(ui->pBLogin, &QPushButton::clicked, this, &MainWindow::connectDTM);
    ScreenKeys::bind(this, ui->pBTProxy, {QKeySequence(Qt::CTRL | Qt::Key_Comma)});

    marquee_ = new StatusMarquee(this, ui->lblStatus, &appController()->status());
    // The prompt scrolls in this window's line from its first step, whichever screen puts it up.
    connect(appController(), &AppController::loginPromptShown, marquee_, &StatusMarquee::restart);
    appController()->showLoginPrompt();

    connectChain();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectChain()
{
    connect(chain_, &SignInChain::statusChanged, this, &MainWindow::showStatus);
    connect(chain_, &SignInChain::statusHeld, marquee_, &StatusMarquee::stop);
    // Through the controller, which gives its boxes this window as their parent.
    connect(chain_, &SignInChain::boxRequested, this,
            [](const QString& text, int kind) { appController()->showMessage(text, kind); });
    connect(chain_, &SignInChain::tlsComponentMissing, this, [this] { TlsComponentBox::show(this); });
    connect(chain_, &SignInChain::fieldsDisabled, this, [this] {
        ui->leUserName->setEnabled(false);
        ui->lePassword->setEnabled(false);
        ui->pBLogin->setEnabled(false);
    });
    connect(chain_, &SignInChain::fieldsCleared, this, &MainWindow::clearFields);
    connect(chain_, &SignInChain::passwordCleared, ui->lePassword, &QLineEdit::clear);
    connect(chain_, &SignInChain::fieldsEnabled, this, &MainWindow::login_enable);
    connect(chain_, &SignInChain::loginButtonEnabled, ui->pBLogin, &QPushButton::setEnabled);
    connect(chain_, &SignInChain::userNameFocusRequested, this, &MainWindow::focusUserName);
    connect(chain_, &SignInChain::signedIn, this, &MainWindow::handOverToTokenScreen);
}

void MainWindow::showStatus(const QString& text, SignInChain::LineChange change)
{
    switch (change) {
    case SignInChain::LineChange::Scroll:
        marquee_->showMessage(text);
        break;
    case SignInChain::LineChange::Padded:
        marquee_->showPaddedMessage(text, text.size() - 5);
        break;
    case SignInChain::LineChange::Replace:
        setStatusText(text);
        break;
    }
}

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
    return chain_->inFlight();
}

void MainWindow::connectDTM()
{
    chain_->start();
}

bool MainWindow::validateUserInput()
{
    return SignInChain::acceptsCredentials({ui->leUserName->text(), ui->lePassword->text()});
}

void MainWindow::statDTM()
{
    chain_->sendStatusRequest();
}

void MainWindow::regDTM()
{
    chain_->sendRegRequest();
}

void MainWindow::sendAuthRequest(const QString& url)
{
    chain_->sendAuthRequest(url);
}

void MainWindow::StatReadyToRead(const ReplyResult& reply)
{
    chain_->readStatusReply(reply);
}

void MainWindow::regReadyToRead(const ReplyResult& reply)
{
    chain_->readRegReply(reply);
}

void MainWindow::AuthReadyToRead(const ReplyResult& reply)
{
    chain_->readAuthReply(reply);
}

void MainWindow::syncReadyToRead(const ReplyResult& reply)
{
    chain_->readSyncReply(reply);
}

void MainWindow::handOverToTokenScreen()
{
    hide();
    emit signedIn();
    // The token screen's own marquee scrolls the shared text from now on.
    marquee_->stop();
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
    appController()->settingsCaller = QStringLiteral("Login");
    emit settingsRequested();
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
