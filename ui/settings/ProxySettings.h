#pragma once

#include <QWidget>

// The settings window: HTTP proxy and the two window preferences.
class ProxySettings : public QWidget {
    Q_OBJECT

public:
    explicit ProxySettings(QWidget* parent = nullptr);
};
