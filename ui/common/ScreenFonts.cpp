#include "ui/common/ScreenFonts.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace ScreenFonts {

bool registerLcdFont()
{
    static const bool registered = [] {
        QFile file(QStringLiteral(":/polices/digital-7.ttf"));
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        return QFontDatabase::addApplicationFontFromData(file.readAll()) >= 0;
    }();
    return registered;
}

void installSubstitutions()
{
    const QString dejaVu = QStringLiteral("DejaVu Sans");
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {dejaVu});
    QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), dejaVu});
}

} // namespace ScreenFonts
