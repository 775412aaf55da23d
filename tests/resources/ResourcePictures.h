#pragma once

#include <QImage>
#include <QLatin1String>
#include <QString>
#include <QStringList>

// The pictures at the resource root, as the screens address them (":/name.png"), and their twins for screens of
// device pixel ratio 2 (":/name@2x.png").
namespace ResourcePictures {

inline constexpr QLatin1String kTwinSuffix{"@2x.png"};

// The names at the resource root: the pictures (twins = false) or their twins (twins = true), sorted by name.
QStringList rootPictures(bool twins);

// "name.png" -> "name@2x.png".
QString twinOf(const QString& name);

// Mean difference per channel (0..255) of two pictures of one size, alpha premultiplied so that the colour of fully
// transparent pixels does not count.
double meanDifference(const QImage& a, const QImage& b);

} // namespace ResourcePictures
