#include "RouterOSVersion.h"

#include <QStringList>

#include <limits>
#include <optional>

namespace {

using Value = std::optional<qint32>;

Value checkedAdd(Value a, Value b)
{
    qint32 result = 0;
    if (!a || !b || qAddOverflow(*a, *b, &result))
        return std::nullopt;
    return result;
}

Value checkedMul(Value a, qint32 b)
{
    qint32 result = 0;
    if (!a || qMulOverflow(*a, b, &result))
        return std::nullopt;
    return result;
}

// A whole decimal integer: an optional sign, then one or more ASCII digits, nothing else.
Value readNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulate towards the sign so that the most negative value is readable too.
    qint32 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const qint32 digit = c.unicode() - u'0';
        if (qMulOverflow(value, 10, &value) || qAddOverflow(value, negative ? -digit : digit, &value))
            return std::nullopt;
    }
    return value;
}

// The last piece: a plain number, or a number with a "beta" or "rc" build after it that orders
// below the release it leads to.
Value addLastPiece(Value value, QStringView piece, qint32 scale)
{
    for (const auto& [word, offset] : {std::pair {QStringView(u"beta"), 100}, std::pair {QStringView(u"rc"), 50}}) {
        if (!piece.contains(word))
            continue;
        const QList<QStringView> parts = piece.split(word);
        const Value before = readNumber(parts.at(0));
        const Value build = readNumber(parts.at(1));
        value = checkedAdd(value, checkedMul(before, scale));
        value = checkedAdd(value, -offset);
        return checkedAdd(value, build);
    }
    return checkedAdd(value, checkedMul(readNumber(piece), scale));
}

} // namespace

RouterOSVersion::RouterOSVersion(const QString& stringVersion)
    : stringVersion(stringVersion)
{
    intVersion = parse(stringVersion);
}

qint32 RouterOSVersion::parse(const QString& text)
{
    const QList<QStringView> pieces = QStringView(text).split(u'.');
    Value value;
    if (pieces.size() == 2) {
        value = checkedMul(readNumber(pieces[0]), 100000000);
        value = addLastPiece(value, pieces[1], 1000000);
    } else if (pieces.size() == 3) {
        value = checkedMul(readNumber(pieces[0]), 100000000);
        value = checkedAdd(value, checkedMul(readNumber(pieces[1]), 1000000));
        value = addLastPiece(value, pieces[2], 10000);
    }
    return value.value_or(0);
}
