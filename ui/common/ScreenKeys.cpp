#include "ui/common/ScreenKeys.h"

#include <QAbstractButton>
#include <QShortcut>
#include <QWidget>

namespace ScreenKeys {

void bind(QWidget* screen, QAbstractButton* button, const QList<QKeySequence>& keys)
{
    for (const QKeySequence& key : keys) {
        // A window shortcut of a hidden screen never fires, so the screens of the one container may share a key.
        auto* shortcut = new QShortcut(key, screen);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible()) {
                button->click();
            }
        });
    }
}

} // namespace ScreenKeys
