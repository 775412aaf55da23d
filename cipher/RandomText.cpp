#include "cipher/RandomText.h"

#include <QRandomGenerator>

namespace RandomText {

QString randomLetters(int n)
{
    QString text;
    for (int i = 0; i < n; ++i) {
        text += QChar(u'A' + QRandomGenerator::system()->bounded(26));
    }
    return text;
}

QString randomAlphanumerics(int n)
{
    QString text;
    for (int i = 0; i < n; ++i) {
        text += alphanumericFor(QRandomGenerator::system()->bounded(75));
    }
    return text;
}

QChar alphanumericFor(int v)
{
    if (v < 0 || v >= 75) {
        return {};
    }
    if (v < 10) {
        return QChar(u'0' + v);
    }
    if (v < 17) {
        return QChar(u'3' + (v - 10));
    }
    if (v < 43) {
        return QChar(u'A' + (v - 17));
    }
    if (v < 49) {
        return QChar(u'a' + (v - 43));
    }
    return QChar(u'a' + (v - 49));
}

} // namespace RandomText
