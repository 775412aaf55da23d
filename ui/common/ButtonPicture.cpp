#include "ui/common/ButtonPicture.h"

#include <QAbstractButton>
#include <QIcon>

namespace ButtonPicture {

void set(QAbstractButton* button, const QString& path)
{
    const QIcon icon(path);
    button->setIcon(icon);
    button->setIconSize(icon.actualSize(button->iconSize()));
}

} // namespace ButtonPicture
