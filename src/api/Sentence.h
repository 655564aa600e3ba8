#pragma once

#include "ApiError.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <utility>

// One parsed reply: rows of attributes, the reply kind, and whether it is complete. Made from the
// first buffer of a reply (may throw SentenceError) and fed every further buffer.
class Sentence
{
public:
    using Row = QMap<QString, QString>;

    explicit Sentence(const QByteArray& data); // throws SentenceError
    void feed(const QByteArray& data);

    // (length, prefix size); (-1, 0) for an empty buffer or an unread 3- to 5-byte prefix.
    static std::pair<qint64, int> readLength(const QByteArray& data, qsizetype offset = 0);
    // The length prefix as written for a word of `length` bytes; empty when it cannot be sent.
    static std::optional<QByteArray> encodeLength(quint64 length);

    ReturnType returnType = ReturnType::NONE; // fixed by the first word
    QList<Row> SentenceData;
    bool isDone = false;
    // The router refused the command: the reply began with "!trap", or a "!trap" followed rows
    // (its attributes are then a row of their own after the data rows).
    bool trapped = false;

private:
    void parseDone(const QByteArray& data, qsizetype offset);
    void parseTrap(const QByteArray& data, qsizetype offset);
    void parseRows(const QByteArray& data, qsizetype offset);
    void parseAttributes(const QByteArray& data, qsizetype offset, bool ascii);
    QString keyOf(QLatin1StringView asciiKey, QString key);

    std::optional<QByteArray> oldData;
    QList<QString> m_keys;
};
