#pragma once

#include <QByteArray>
#include <QString>

// A static Huffman coder for short byte strings; each message carries its own code tree, so writer and reader
// share no table. The settings file keeps every value coded this way.
//
// Compressed form, bits packed most significant first: a pre-order description of the tree (an internal node is
// the bit 0 followed by its first and second child, a leaf is the bit 1 followed by its 8-bit value), then the code
// of every input byte (0 for the first child, 1 for the second). A one-leaf tree codes every byte as the bit 0.
// The spare low bits of the last byte are 0. The number of coded bytes is not stored; the reader passes it.
class HuffmanCodec {
public:
    // Longest compressed form and longest decoded text of the text layer.
    static constexpr qsizetype kTextBufferSize = 1024;
    // 256 leaves and 255 internal nodes at most.
    static constexpr int kMaxNodes = 511;

    static QByteArray compress(const QByteArray& in);
    // Exactly count bytes, or an empty result when the input is malformed: a tree of more than 511 nodes, a tree
    // or a code that runs past the end, or a count larger than the coded bits can give.
    static QByteArray uncompress(const QByteArray& in, qsizetype count);

    // compress of the text's ISO 8859-1 bytes, each output byte as the character with that code point (0x00
    // included). Empty when the text or its compressed form would not fit the 1024-byte buffers.
    static QString encodeText(const QString& text);
    // The reverse: count characters, or an empty text when the coded text is malformed or a buffer would overflow.
    static QString decodeText(const QString& coded, qsizetype count);
};
