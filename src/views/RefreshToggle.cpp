#include "RefreshToggle.h"

#include "HealthListState.h"
#include "model/Device.h"
#include "widgets/Settings.h"

#include <cstdio>
#include <exception>

void RefreshToggle::printLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::shared_ptr<TaskHandle> RefreshToggle::begin(Device* device)
{
    device->setRefreshing(true);
    auto handle = std::make_shared<TaskHandle>();
    device->setRefreshTask(handle);
    return handle;
}

QCoro::Task<std::optional<ValidateReturn>> RefreshToggle::refresh(
    QPointer<Device> device, std::shared_ptr<TaskHandle> handle)
{
    const bool validSSL = Settings::instance().restApiValidSSL();
    const QString timeout = Settings::instance().restApiTimeout();
    try {
        co_return co_await device->refreshDevice(validSSL, timeout, handle);
    } catch (const std::exception& error) {
        printLine(error.what());
    }
    co_return std::nullopt;
}

void RefreshToggle::toggle(Device* device, HealthListState* health)
{
    if (!device)
        return;
    device->setError(QStringLiteral(""));
    if (device->refreshing()) {
        const std::shared_ptr<TaskHandle> running = device->refreshTask();
        if (!running)
            return;
        running->cancel();
        device->setRefreshing(false);
        device->setError(QStringLiteral(""));
        return;
    }
    run(device, health, begin(device));
}

QCoro::Task<> RefreshToggle::run(
    QPointer<Device> device, QPointer<HealthListState> health, std::shared_ptr<TaskHandle> handle)
{
    const std::optional<ValidateReturn> outcome = co_await refresh(device, handle);
    if (!outcome)
        co_return;
    const ValidateReturn& result = *outcome;
    if (!device) {
        printLine(RefreshCancelled().what());
        co_return;
    }
    if (!result.success) {
        device->setError(result.message);
        device->setRefreshing(false);
        co_return;
    }
    device->setError(QStringLiteral(""));
    if (handle->isCancelled()) {
        printLine(RefreshCancelled().what());
        co_return;
    }
    QList<HealthItem> items;
    try {
        items = device->healthArray();
    } catch (const std::exception& error) {
        printLine(error.what());
        co_return;
    }
    if (health)
        health->setItems(items);
    device->setRefreshing(false);
}
