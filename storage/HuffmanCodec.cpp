#include "storage/HuffmanCodec.h"

#include "cipher/PlainText.h"

#include <array>
#include <vector>

namespace {

struct Node {
    qsizetype count = 0;
    int firstChild = -1;
    int secondChild = -1;
    int value = -1;

    bool isLeaf() const { return firstChild < 0; }
};

class BitWriter {
public:
    void put(bool bit)
    {
        if (bits_ % 8 == 0) {
            bytes_.append('\0');
        }
        if (bit) {
            bytes_[bits_ / 8] = char(bytes_[bits_ / 8] | (0x80 >> (bits_ % 8)));
        }
        ++bits_;
    }
    void putValue(int value, int width)
    {
        for (int shift = width - 1; shift >= 0; --shift) {
            put((value >> shift) & 1);
        }
    }
    QByteArray bytes() const { return bytes_; }

private:
    QByteArray bytes_;
    qsizetype bits_ = 0;
};

class BitReader {
public:
    explicit BitReader(const QByteArray& bytes) : bytes_(bytes) {}

    // False when the input has no bit left.
    bool get(int* bit)
    {
        if (position_ >= bytes_.size() * 8) {
            return false;
        }
        *bit = (static_cast<unsigned char>(bytes_[position_ / 8]) >> (7 - position_ % 8)) & 1;
        ++position_;
        return true;
    }
    bool getValue(int width, int* value)
    {
        *value = 0;
        for (int i = 0; i < width; ++i) {
            int bit = 0;
            if (!get(&bit)) {
                return false;
            }
            *value = (*value << 1) | bit;
        }
        return true;
    }
    qsizetype remaining() const { return bytes_.size() * 8 - position_; }

private:
    const QByteArray& bytes_;
    qsizetype position_ = 0;
};

void writeTree(const std::vector<Node>& nodes, int index, BitWriter* writer)
{
    const Node& node = nodes[index];
    if (node.isLeaf()) {
        writer->put(true);
        writer->putValue(node.value, 8);
        return;
    }
    writer->put(false);
    writeTree(nodes, node.firstChild, writer);
    writeTree(nodes, node.secondChild, writer);
}

void assignCodes(const std::vector<Node>& nodes, int index, std::vector<bool>& path,
                 std::array<std::vector<bool>, 256>* codes)
{
    const Node& node = nodes[index];
    if (node.isLeaf()) {
        (*codes)[node.value] = path;
        return;
    }
    path.push_back(false);
    assignCodes(nodes, node.firstChild, path, codes);
    path.back() = true;
    assignCodes(nodes, node.secondChild, path, codes);
    path.pop_back();
}

// Reads one node of the tree description and everything below it; -1 when the description is malformed. The
// node limit bounds both the tree and the depth of this recursion.
int readTree(BitReader* reader, std::vector<Node>* nodes)
{
    if (int(nodes->size()) >= HuffmanCodec::kMaxNodes) {
        return -1;
    }
    int bit = 0;
    if (!reader->get(&bit)) {
        return -1;
    }
    const int index = int(nodes->size());
    nodes->push_back(Node{});
    if (bit == 1) {
        int value = 0;
        if (!reader->getValue(8, &value)) {
            return -1;
        }
        (*nodes)[index].value = value;
        return index;
    }
    const int first = readTree(reader, nodes);
    if (first < 0) {
        return -1;
    }
    const int second = readTree(reader, nodes);
    if (second < 0) {
        return -1;
    }
    (*nodes)[index].firstChild = first;
    (*nodes)[index].secondChild = second;
    return index;
}

} // namespace

QByteArray HuffmanCodec::compress(const QByteArray& in)
{
    if (in.isEmpty()) {
        return {};
    }
    std::array<qsizetype, 256> counts{};
    for (const char byte : in) {
        ++counts[static_cast<unsigned char>(byte)];
    }
    std::vector<Node> nodes;
    for (int value = 0; value < 256; ++value) {
        if (counts[value] > 0) {
            nodes.push_back(Node{counts[value], -1, -1, value});
        }
    }

    std::array<std::vector<bool>, 256> codes;
    int root = 0;
    if (nodes.size() == 1) {
        codes[nodes.front().value] = {false};
    } else {
        for (std::size_t merges = nodes.size() - 1; merges > 0; --merges) {
            // Scan leaves first, then the internal nodes in the order they were made; ties favour the later node.
            int first = -1;
            int second = -1;
            for (int i = 0; i < int(nodes.size()); ++i) {
                if (nodes[i].count == 0) {
                    continue;
                }
                if (first < 0 || nodes[i].count <= nodes[first].count) {
                    second = first;
                    first = i;
                } else if (second < 0 || nodes[i].count <= nodes[second].count) {
                    second = i;
                }
            }
            nodes.push_back(Node{nodes[first].count + nodes[second].count, first, second, -1});
            nodes[first].count = 0;
            nodes[second].count = 0;
        }
        root = int(nodes.size()) - 1;
        std::vector<bool> path;
        assignCodes(nodes, root, path, &codes);
    }

    BitWriter writer;
    writeTree(nodes, root, &writer);
    for (const char byte : in) {
        for (const bool bit : codes[static_cast<unsigned char>(byte)]) {
            writer.put(bit);
        }
    }
    return writer.bytes();
}

QByteArray HuffmanCodec::uncompress(const QByteArray& in, qsizetype count)
{
    if (in.isEmpty() || count <= 0) {
        return {};
    }
    BitReader reader(in);
    std::vector<Node> nodes;
    nodes.reserve(kMaxNodes);
    const int root = readTree(&reader, &nodes);
    // Every coded byte takes at least one bit, in a one-leaf tree too, so a larger count cannot come from data
    // this coder wrote (and would otherwise let a few bytes of input ask for any amount of output).
    if (root < 0 || count > reader.remaining()) {
        return {};
    }
    QByteArray out;
    out.reserve(count);
    if (nodes[root].isLeaf()) {
        out.fill(char(nodes[root].value), count);
        return out;
    }
    for (qsizetype i = 0; i < count; ++i) {
        int index = root;
        while (!nodes[index].isLeaf()) {
            int bit = 0;
            if (!reader.get(&bit)) {
                return {};
            }
            index = bit ? nodes[index].secondChild : nodes[index].firstChild;
        }
        out.append(char(nodes[index].value));
    }
    return out;
}

QString HuffmanCodec::encodeText(const QString& text)
{
    const QByteArray bytes = PlainText::latin1(text);
    if (bytes.size() > kTextBufferSize) {
        return {};
    }
    const QByteArray compressed = compress(bytes);
    if (compressed.size() > kTextBufferSize) {
        return {};
    }
    return QString::fromLatin1(compressed);
}

QString HuffmanCodec::decodeText(const QString& coded, qsizetype count)
{
    if (coded.size() > kTextBufferSize || count > kTextBufferSize) {
        return {};
    }
    return QString::fromLatin1(uncompress(PlainText::latin1(coded), count));
}
