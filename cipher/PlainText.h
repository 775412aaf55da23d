#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The byte conventions of every request and reply plaintext: fields separated by the byte 0xAB, text encoded as
// ISO 8859-1 (a character outside it becomes "?"), a reply read up to its first 0x00 byte.
namespace PlainText {

constexpr char kFieldSeparator = '\xAB';
// The same separator in a text read as ISO 8859-1.
constexpr QChar kFieldSeparatorChar{u'\u00AB'};

// ISO 8859-1 bytes of a text; characters outside ISO 8859-1 become "?".
QByteArray latin1(const QString& text);

// A request plaintext: the request code, then each field preceded by one separator byte.
QByteArray buildRequest(const QByteArray& code, const QStringList& fields);

// The bytes up to, not including, the first 0x00 byte (all bytes when there is none).
QByteArray untilNul(const QByteArray& bytes);

// A deciphered reply or file as text: up to the first 0x00 byte, ISO 8859-1.
QString readText(const QByteArray& deciphered);

// The fields of a reply text, split at the separator with empty parts kept.
QStringList fields(const QString& text);

// Field 0 as a base-10 integer; a field that is not a number counts as 0.
int resultCode(const QStringList& fields);

// A reply's field 0 as its result code. False when it is no base-10 integer: the body was empty, cut or enciphered
// with some other key, and no code can be read from it.
bool readResultCode(const QString& field, int* code);

} // namespace PlainText
