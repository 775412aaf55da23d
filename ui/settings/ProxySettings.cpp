#include "ui/settings/ProxySettings.h"

ProxySettings::ProxySettings(QWidget* parent) : QWidget(parent) {}
