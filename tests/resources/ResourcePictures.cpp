#include "ResourcePictures.h"

#include <QDir>

#include <cstdlib>

namespace ResourcePictures {

QStringList rootPictures(bool twins)
{
    QStringList names = QDir(QStringLiteral(":/")).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    names.removeIf([twins](const QString& name) { return name.endsWith(kTwinSuffix) != twins; });
    return names;
}

QString twinOf(const QString& name)
{
    return name.chopped(4) + kTwinSuffix;
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const uchar*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const uchar*>(y.constScanLine(row));
        for (int i = 0; i < x.width() * 4; ++i) {
            sum += std::abs(int(p[i]) - int(q[i]));
        }
    }
    return sum / (double(x.width()) * x.height() * 4);
}

} // namespace ResourcePictures
