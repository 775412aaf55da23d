#pragma once

#include <QKeySequence>
#include <QList>

class QAbstractButton;
class QWidget;

// The keys of a screen's buttons. The buttons take no keyboard focus, so each action gets window keys instead: they
// act while their screen is visible in the active window, and go through the button itself, so that a key of a
// disabled or hidden button does nothing, exactly as a click on it would.
namespace ScreenKeys {

// Each key clicks the button while `screen` is visible.
void bind(QWidget* screen, QAbstractButton* button, const QList<QKeySequence>& keys);

} // namespace ScreenKeys
