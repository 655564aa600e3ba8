#include "Sentence.h"

#include <QStringDecoder>

#include <cstring>

namespace {
enum class Encoding { Utf8, Ascii };

// One word taken apart at every "=": `decoded` is false when the bytes are not valid in the
// encoding; key and value are filled only when the word has exactly three pieces.
struct WordParts
{
    bool decoded = false;
    bool attribute = false;
    QLatin1StringView asciiKey; // the key, when the word is ASCII (points into the buffer)
    QString key; // the key otherwise
    QString value;
};

bool isAscii(const char* bytes, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    }
    return true;
}

std::optional<QString> decodeUtf8(QByteArrayView bytes)
{
    if (isAscii(bytes.data(), bytes.size()))
        return QString::fromLatin1(bytes.data(), bytes.size());
    // Strict decoding: a replacement character would hide bytes that are not UTF-8. A leading
    // byte-order mark is part of the word, not a marker to drop.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

WordParts splitWord(QByteArrayView bytes, Encoding encoding)
{
    WordParts parts;
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    if (isAscii(data, size)) {
        // "=" is a single byte in both encodings, so the pieces can be cut from the bytes directly.
        parts.decoded = true;
        const auto* first = static_cast<const char*>(std::memchr(data, '=', size));
        if (!first)
            return parts;
        const qsizetype firstAt = first - data;
        const auto* second = static_cast<const char*>(std::memchr(first + 1, '=', size - firstAt - 1));
        if (!second)
            return parts;
        const qsizetype secondAt = second - data;
        if (std::memchr(second + 1, '=', size - secondAt - 1))
            return parts;
        parts.attribute = true;
        parts.asciiKey = QLatin1StringView(data + firstAt + 1, secondAt - firstAt - 1);
        parts.value = QString::fromLatin1(data + secondAt + 1, size - secondAt - 1);
        return parts;
    }
    if (encoding == Encoding::Ascii)
        return parts;
    const std::optional<QString> text = decodeUtf8(bytes);
    if (!text)
        return parts;
    parts.decoded = true;
    const qsizetype firstAt = text->indexOf(QLatin1Char('='));
    if (firstAt < 0)
        return parts;
    const qsizetype secondAt = text->indexOf(QLatin1Char('='), firstAt + 1);
    if (secondAt < 0 || text->indexOf(QLatin1Char('='), secondAt + 1) >= 0)
        return parts;
    parts.attribute = true;
    parts.key = text->mid(firstAt + 1, secondAt - firstAt - 1);
    parts.value = text->mid(secondAt + 1);
    return parts;
}

bool equals(QByteArrayView bytes, const char* literal)
{
    return bytes == QByteArrayView(literal);
}
} // namespace

Sentence::Sentence(const QByteArray& data)
{
    if (data.size() < 4)
        throw SentenceError::NoData;
    const auto [length, prefixSize] = readLength(data);
    if (length <= 0 || prefixSize + length > data.size())
        throw SentenceError::DataInvalidFormat;
    const QByteArrayView word(data.constData() + prefixSize, length);
    if (!decodeUtf8(word))
        throw SentenceError::DataInvalidFormat;
    const qsizetype rest = prefixSize + length;

    if (equals(word, "!done")) {
        returnType = ReturnType::DONE;
        isDone = true;
        parseDone(data, rest);
    } else if (equals(word, "!trap")) {
        returnType = ReturnType::TRAP;
        trapped = true;
        isDone = true;
        parseTrap(data, rest);
    } else if (equals(word, "!re")) {
        returnType = ReturnType::RE;
        SentenceData.append(Row());
        parseRows(data, rest);
    } else if (equals(word, "!empty")) {
        // Newer routers announce a reply with nothing in it by "!empty" and still close it with
        // "!done": the reply is complete and empty, and the "!done" that follows ends it.
        returnType = ReturnType::DONE;
        parseRows(data, rest);
    }
    // Any other first word (the fatal-error word among them) leaves the reply unrecognised; the
    // caller ends it when the router closes the connection.
}

void Sentence::feed(const QByteArray& data)
{
    if (oldData) {
        QByteArray joined = std::move(*oldData);
        oldData.reset();
        joined.append(data);
        parseRows(joined, 0);
    } else {
        parseRows(data, 0);
    }
}

std::pair<qint64, int> Sentence::readLength(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset >= data.size())
        return {-1, 0};
    const auto first = static_cast<unsigned char>(data.at(offset));
    if (first < 0x80)
        return {first, 1};
    if (first <= 0xBF) {
        if (offset + 1 >= data.size())
            return {0, 2}; // the second byte is in the next buffer
        const auto second = static_cast<unsigned char>(data.at(offset + 1));
        return {(static_cast<qint64>(first & 0x3F) << 8) | second, 2};
    }
    return {-1, 0};
}

std::optional<QByteArray> Sentence::encodeLength(quint64 length)
{
    QByteArray prefix;
    auto put = [&prefix](quint64 value, int bytes) {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
            prefix.append(static_cast<char>((value >> shift) & 0xFF));
    };
    if (length <= 0x7F)
        put(length, 1);
    else if (length <= 0x3FFF)
        put(length | 0x8000, 2);
    else if (length <= 0x1FFFFF)
        put(length | 0xC00000, 3);
    else if (length <= 0xFFFFFFF)
        put(length | 0xE0000000, 4);
    else if (length <= 0xFFFFFFFF) {
        prefix.append(static_cast<char>(0xF0));
        put(length, 4);
    } else
        return std::nullopt;
    return prefix;
}

QString Sentence::keyOf(QLatin1StringView asciiKey, QString key)
{
    if (!key.isNull())
        return key;
    // Every row of a reply repeats the same few keys: sharing one string per key saves an
    // allocation per attribute.
    for (const QString& known : m_keys) {
        if (known.size() == asciiKey.size() && known == asciiKey)
            return known;
    }
    QString made(asciiKey);
    if (m_keys.size() < 64)
        m_keys.append(made);
    return made;
}

void Sentence::parseDone(const QByteArray& data, qsizetype offset)
{
    parseAttributes(data, offset, false);
}

void Sentence::parseTrap(const QByteArray& data, qsizetype offset)
{
    parseAttributes(data, offset, true);
}

void Sentence::parseAttributes(const QByteArray& data, qsizetype offset, bool ascii)
{
    const Encoding encoding = ascii ? Encoding::Ascii : Encoding::Utf8;
    for (;;) {
        const auto [length, prefixSize] = readLength(data, offset);
        if (length <= 0 || offset + prefixSize + length > data.size())
            return;
        const QByteArrayView word(data.constData() + offset + prefixSize, length);
        offset += prefixSize + length;
        WordParts parts = splitWord(word, encoding);
        if (parts.attribute)
            SentenceData.append(Row {{keyOf(parts.asciiKey, std::move(parts.key)), std::move(parts.value)}});
    }
}

void Sentence::parseRows(const QByteArray& data, qsizetype offset)
{
    for (;;) {
        const auto [length, prefixSize] = readLength(data, offset);
        if (length < 0)
            return;
        if (offset + prefixSize + length > data.size()) {
            // Cut off by the end of this buffer: the next buffer completes it.
            oldData = data.mid(offset);
            return;
        }
        const QByteArrayView word(data.constData() + offset + prefixSize, length);
        offset += prefixSize + length;
        if (length == 0)
            continue;
        if (equals(word, "!re")) {
            SentenceData.append(Row());
            continue;
        }
        if (equals(word, "!done")) {
            isDone = true;
            return;
        }
        if (equals(word, "!trap")) {
            // A command that fails after some rows: the reply is a refusal all the same, and the
            // trap's attributes are a row of their own rather than values of the last data row.
            trapped = true;
            SentenceData.append(Row());
            continue;
        }
        WordParts parts = splitWord(word, Encoding::Utf8);
        // A word that is not UTF-8 is skipped like any other unusable word: the words after it,
        // the closing "!done" among them, are still read.
        if (parts.attribute && !SentenceData.isEmpty())
            SentenceData.last().insert(keyOf(parts.asciiKey, std::move(parts.key)), std::move(parts.value));
    }
}
