#pragma once

#include <QString>

// The six-digit code of a token key at a given second (whole seconds since 1970-01-01 UTC): two rounds of SHA-256
// over "key, time, key, time, line feed", hex digits mapped to decimal digits, the code taken from a fixed place.
// The client shows it; the development server checks codes with it.
QString tokenCodeFor(const QString& key, qint64 secondsSinceEpoch);
