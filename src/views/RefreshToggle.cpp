#include "RefreshToggle.h"

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

void RefreshToggle::toggle(Device* device)
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
    start(device);
}

void RefreshToggle::start(Device* device)
{
    if (!device)
        return;
    device->setRefreshing(true);
    auto handle = std::make_shared<TaskHandle>();
    device->setRefreshTask(handle);
    run(device, std::move(handle));
}

QCoro::Task<> RefreshToggle::run(QPointer<Device> device, std::shared_ptr<TaskHandle> handle)
{
    const bool validSSL = Settings::instance().restApiValidSSL();
    const QString timeout = Settings::instance().restApiTimeout();
    std::optional<ValidateReturn> outcome;
    try {
        outcome = co_await device->refreshDevice(validSSL, timeout, handle);
    } catch (const std::exception& error) {
        printLine(error.what());
        co_return;
    }
    if (!device) {
        printLine(RefreshCancelled().what());
        co_return;
    }
    // The user cancelled this refresh, or started a newer one that now owns the flag and the
    // message: whatever this one found out is no longer theirs to show.
    if (handle->isCancelled()) {
        printLine(RefreshCancelled().what());
        co_return;
    }
    if (device->refreshTask() != handle)
        co_return;
    if (!outcome->success) {
        device->setError(outcome->message);
        device->setRefreshing(false);
        co_return;
    }
    device->setError(QStringLiteral(""));
    // Readings that cannot be read leave the device marked refreshing until the user ends it.
    try {
        (void)device->healthArray();
    } catch (const std::exception& error) {
        printLine(error.what());
        co_return;
    }
    device->setRefreshing(false);
}
