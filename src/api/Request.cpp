#include "Request.h"

namespace {
void appendPairs(QStringList& words, const Request::Map& map, QChar lead)
{
    for (const auto& [key, value] : map)
        words.append(lead + key + QLatin1Char('=') + value);
}
} // namespace

std::optional<QStringList> Request::words() const
{
    if (!api)
        return std::nullopt;
    QStringList words {*api};
    const ApiType type = apiType.value_or(ApiType::DEL);
    switch (type) {
    case ApiType::SET:
        if (!params)
            return std::nullopt;
        if (uid)
            words.append(QStringLiteral("=.id=") + *uid);
        appendPairs(words, *params, QLatin1Char('='));
        words.append(QString());
        break;
    case ApiType::GET:
        if (querys)
            appendPairs(words, *querys, QLatin1Char('?'));
        words.append(QString());
        break;
    case ApiType::ADD:
        if (!params)
            return std::nullopt;
        appendPairs(words, *params, QLatin1Char('='));
        words.append(QString());
        break;
    case ApiType::DEL:
        if (!uid)
            return std::nullopt;
        words.append(QStringLiteral("=.id=") + *uid);
        break;
    }
    return words;
}
