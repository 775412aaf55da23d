#pragma once

#include <QString>

// The settings file keeps each value as a coded field: the length L of the value's base64 text, then that base64
// text through HuffmanCodec::encodeText. Reading back: fromBase64Text(decodeText(coded, L)).
namespace CodedField {

// Standard base64 ("=" padding, no line breaks) of the value's ISO 8859-1 bytes; characters outside ISO 8859-1
// become "?".
QString toBase64Text(const QString& value);

// The bytes decoded from base64 (characters that are not base64 are skipped), up to the first 0x00 byte, as
// ISO 8859-1 text. Text that is not base64 yields whatever the decoder recovers.
QString fromBase64Text(const QString& text);

} // namespace CodedField
