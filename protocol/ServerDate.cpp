#include "protocol/ServerDate.h"

#include <QLocale>
#include <QString>

#include <limits>

namespace {

// A reader of the RFC 1123 form with the rules of the C library's scanf format
// "%*3s, %d %3s %d %d:%d:%d 'GMT'", written out so that an overlong number fails instead of overflowing.
class Scanner {
public:
    explicit Scanner(const QByteArray& text) : text_(text) {}

    void skipBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_.at(pos_))) {
            ++pos_;
        }
    }
    // %Ns: blanks skipped, then 1 to max characters that are not blanks.
    bool word(int max, QByteArray* out)
    {
        skipBlanks();
        const int start = pos_;
        while (pos_ < text_.size() && pos_ - start < max && !isBlank(text_.at(pos_))) {
            ++pos_;
        }
        if (out) {
            *out = text_.mid(start, pos_ - start);
        }
        return pos_ > start;
    }
    // %d: blanks skipped, an optional sign, at least one digit.
    bool number(int* out)
    {
        skipBlanks();
        bool negative = false;
        if (pos_ < text_.size() && (text_.at(pos_) == '+' || text_.at(pos_) == '-')) {
            negative = text_.at(pos_) == '-';
            ++pos_;
        }
        const int start = pos_;
        qint64 value = 0;
        while (pos_ < text_.size() && text_.at(pos_) >= '0' && text_.at(pos_) <= '9') {
            value = value * 10 + (text_.at(pos_) - '0');
            if (value > std::numeric_limits<int>::max()) {
                return false;
            }
            ++pos_;
        }
        if (pos_ == start) {
            return false;
        }
        *out = static_cast<int>(negative ? -value : value);
        return true;
    }
    bool literal(char c)
    {
        if (pos_ < text_.size() && text_.at(pos_) == c) {
            ++pos_;
            return true;
        }
        return false;
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

    QByteArray text_;
    int pos_ = 0;
};

QDateTime parseRfc1123(const QByteArray& text)
{
    Scanner scan(text);
    int day = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    QByteArray month;
    // All six fields must be read; the trailing "GMT" is not checked.
    const bool read = scan.word(3, nullptr) && scan.literal(',') && scan.number(&day) && scan.word(3, &month) &&
                      scan.number(&year) && scan.number(&hour) && scan.literal(':') && scan.number(&minute) &&
                      scan.literal(':') && scan.number(&second);
    if (!read) {
        return {};
    }
    const QDate date(year, ServerDate::nameToMonth(month.constData()), day);
    const QTime time(hour, minute, second, 0);
    if (!date.isValid() || !time.isValid()) {
        return {};
    }
    return QDateTime(date, time, Qt::UTC);
}

QDateTime parseRfc850(const QByteArray& text, const QDateTime& now)
{
    QDateTime parsed = QLocale::c().toDateTime(QString::fromLatin1(text), QStringLiteral("dd-MMM-yy hh:mm:ss 'GMT'"));
    if (!parsed.isValid()) {
        return {};
    }
    // The parser reads "yy" as 19yy. HTTP's rule: the year with these two digits that lies at most 50 years ahead.
    const int twoDigits = parsed.date().year() % 100;
    QDateTime candidate(QDate(2000 + twoDigits, parsed.date().month(), parsed.date().day()), parsed.time(), Qt::UTC);
    if (!candidate.isValid() || (now.isValid() && candidate > now.toUTC().addYears(50))) {
        candidate =
            QDateTime(QDate(1900 + twoDigits, parsed.date().month(), parsed.date().day()), parsed.time(), Qt::UTC);
    }
    return candidate;
}

} // namespace

namespace ServerDate {

QDateTime parse(const QByteArray& header, const QDateTime& now)
{
    const int end = header.indexOf('\0');
    const QByteArray text = end < 0 ? header : header.left(end);
    if (text.isEmpty()) {
        return {};
    }
    const int comma = text.indexOf(',');
    QDateTime server;
    if (comma == -1) {
        server = QDateTime::fromString(QString::fromLatin1(text), Qt::TextDate);
    } else if (comma == 3) {
        server = parseRfc1123(text);
    } else {
        server = parseRfc850(text.mid(comma + 2), now);
    }
    if (!server.isValid()) {
        return {};
    }
    // The fields are the server's UTC clock as written: they are marked as UTC, not converted.
    server.setTimeSpec(Qt::UTC);
    return server;
}

int nameToMonth(const char* monthName)
{
    if (!monthName) {
        return 0;
    }
    const char first = monthName[0];
    // Each further character is read only when the ones before it exist (are not the terminating NUL).
    const char second = first ? monthName[1] : '\0';
    const char third = second ? monthName[2] : '\0';
    switch (first) {
    case 'J':
        if (second == 'a') {
            return 1;
        }
        if (second == 'u') {
            return third == 'n' ? 6 : third == 'l' ? 7 : 0;
        }
        return 0;
    case 'F':
        return 2;
    case 'M':
        return third == 'r' ? 3 : third == 'y' ? 5 : 0;
    case 'A':
        return second == 'p' ? 4 : second == 'u' ? 8 : 0;
    case 'S':
        return 9;
    case 'O':
        return 10;
    case 'N':
        return 11;
    case 'D':
        return 12;
    default:
        return 0;
    }
}

qint64 secondsDifference(const QDateTime& local, const QDateTime& server)
{
    return server.isValid() ? local.secsTo(server) : 0;
}

} // namespace ServerDate
