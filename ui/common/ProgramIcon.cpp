#include "ui/common/ProgramIcon.h"

namespace ProgramIcon {

const QList<int>& sizes()
{
    static const QList<int> drawn{16, 24, 32, 48, 64, 128, 256};
    return drawn;
}

QString path(int size)
{
    return QStringLiteral(":/icons/hicolor/%1x%1/apps/veltrane-auth.png").arg(size);
}

QIcon icon()
{
    QIcon icon;
    for (int size : sizes()) {
        icon.addFile(path(size), QSize(size, size));
    }
    return icon;
}

} // namespace ProgramIcon
