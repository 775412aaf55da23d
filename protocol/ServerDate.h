#pragma once

#include <QByteArray>
#include <QDateTime>

// The server's clock as its replies' "Date" header gives it, in any of the three forms HTTP allows:
//   RFC 1123  "Sun, 06 Nov 1994 08:49:37 GMT"   (a three-letter weekday and a comma)
//   RFC 850   "Sunday, 06-Nov-94 08:49:37 GMT"  (a full weekday, a comma and a two-digit year)
//   asctime   "Sun Nov  6 08:49:37 1994"        (no comma)
// The token screen compares it with the local clock, because codes are computed from the local clock.
namespace ServerDate {

// The instant the header names, in UTC; invalid when the header is missing or cannot be read. Only the bytes up to
// the first 0x00 count. A two-digit RFC 850 year is read as 20yy, unless that lies more than 50 years after `now`,
// then as 19yy.
QDateTime parse(const QByteArray& header, const QDateTime& now);

// The month number (1..12) of an English month abbreviation, decided from as few leading characters as needed
// ("Jun" 6, "Jul" 7, any text starting with "D" 12); 0 when no rule matches or the text is null. Case-sensitive.
// Only characters before the terminating NUL are read.
int nameToMonth(const char* monthName);

// Seconds from `local` to `server` (positive when the server is ahead); 0 when the server time is invalid.
qint64 secondsDifference(const QDateTime& local, const QDateTime& server);

} // namespace ServerDate
