#pragma once

#include <QCoroTask>
#include <QTest>

#include <memory>
#include <optional>

// Runs a task on this thread's event loop for at most `boundMs`; nothing when it did not finish.
template<typename T>
std::optional<T> runBounded(QCoro::Task<T> task, int boundMs = 30000)
{
    auto result = std::make_shared<std::optional<T>>();
    auto continuation = task.then([result](T value) { *result = std::move(value); });
    (void)QTest::qWaitFor([&result] { return result->has_value(); }, boundMs);
    return *result;
}
