#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdlib>

// A known pixel of a screen's picture: a place where the drawing puts a colour of its own (a background picture,
// a button's picture, a tab of the style sheet, a lit segment of the code), so that a picture that lost its
// drawing fails. Places are in the screen's own coordinates; fonts differ between machines, so probes stay off
// text and allow a small difference per channel, alpha included (the container is translucent: where nothing
// draws, the picture is clear).
struct PixelProbe {
    QString what;
    QPoint at;
    QColor colour;
    int tolerance = 12;
};

// Every probe the picture does not show, one line each ("what at (x,y): #aarrggbb, expected #aarrggbb"); empty
// when the picture shows them all.
inline QString missedProbes(const QImage& shot, const QList<PixelProbe>& probes)
{
    QString missed;
    const qreal ratio = shot.devicePixelRatio();
    for (const PixelProbe& probe : probes) {
        const QPoint at(qRound(probe.at.x() * ratio), qRound(probe.at.y() * ratio));
        const QColor seen = shot.valid(at) ? shot.pixelColor(at) : QColor();
        const QColor& want = probe.colour;
        const bool near = seen.isValid() && std::abs(seen.red() - want.red()) <= probe.tolerance &&
                          std::abs(seen.green() - want.green()) <= probe.tolerance &&
                          std::abs(seen.blue() - want.blue()) <= probe.tolerance &&
                          std::abs(seen.alpha() - want.alpha()) <= probe.tolerance;
        if (!near) {
            missed += QStringLiteral("%1 at (%2,%3): %4, expected %5\n")
                          .arg(probe.what)
                          .arg(probe.at.x())
                          .arg(probe.at.y())
                          .arg(seen.isValid() ? seen.name(QColor::HexArgb) : QStringLiteral("outside"),
                               want.name(QColor::HexArgb));
        }
    }
    return missed;
}

// Whether some pixel in the area is nearly white: characters the screen draws in white on its dark display, in
// whatever font the machine renders them.
inline bool hasWhitePixel(const QImage& shot, const QRect& area)
{
    const qreal ratio = shot.devicePixelRatio();
    const QRect scaled(qRound(area.x() * ratio), qRound(area.y() * ratio), qRound(area.width() * ratio),
                       qRound(area.height() * ratio));
    for (int y = scaled.top(); y <= scaled.bottom(); ++y) {
        for (int x = scaled.left(); x <= scaled.right(); ++x) {
            if (shot.valid(x, y) && qGray(shot.pixel(x, y)) > 200) {
                return true;
            }
        }
    }
    return false;
}
