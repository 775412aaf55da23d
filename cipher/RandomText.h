#pragma once

#include <QString>

// Keys and nonces made by the client. Every character is drawn from the system's cryptographic generator: a key
// derived from the clock could be rebuilt by anyone who knows roughly when a request was sent.
namespace RandomText {

// n characters, each "A".."Z" (transaction keys and the nonces of status and registration requests).
QString randomLetters(int n);

// n characters, each a digit or an ASCII letter (the nonces of authentication and synchronisation requests).
QString randomAlphanumerics(int n);

// The character of draw v (0..74) of randomAlphanumerics. The 75 draws map unevenly on purpose, as the server's
// peers have always seen them: "3".."9" and "a".."f" come out twice as often as the other characters.
QChar alphanumericFor(int v);

} // namespace RandomText
