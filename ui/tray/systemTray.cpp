#include "ui/tray/systemTray.h"

systemTray::systemTray(QWidget* parent) : QWidget(parent) {}
