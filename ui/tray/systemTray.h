#pragma once

#include <QWidget>

// The program's presence in the system tray.
class systemTray : public QWidget {
    Q_OBJECT

public:
    explicit systemTray(QWidget* parent = nullptr);
};
