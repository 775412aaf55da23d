#include "ui/login/MainWindow.h"

#include "app/AppController.h"
#include "ui/common/StatusMarquee.h"

#include <QLabel>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), lblStatus_(new QLabel(this))
{
    setObjectName(QStringLiteral("MainWindow"));
    marquee_ = new StatusMarquee(this, lblStatus_, &appController()->statusText);
}

MainWindow::~MainWindow() = default;

void MainWindow::setTagHidden(bool /*hide*/) {}

void MainWindow::login_enable() {}
