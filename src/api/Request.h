#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

enum class ApiType { SET, GET, ADD, DEL };

// One API command. Maps keep their insertion order (the protocol does not care about it).
class Request
{
public:
    using Map = QList<QPair<QString, QString>>;

    Request(std::optional<QString> api = std::nullopt, std::optional<ApiType> apiType = std::nullopt,
        std::optional<Map> params = std::nullopt, std::optional<Map> querys = std::nullopt,
        std::optional<QString> uid = std::nullopt)
        : api(std::move(api))
        , params(std::move(params))
        , apiType(apiType)
        , querys(std::move(querys))
        , uid(std::move(uid))
    { }

    // The command's words in sending order; the last one closes the sentence. Empty when a value
    // the kind of request needs (api, params or uid) is missing.
    std::optional<QStringList> words() const;

    std::optional<QString> api;
    std::optional<Map> params;
    std::optional<ApiType> apiType;
    std::optional<Map> querys;
    std::optional<QString> uid;
};
