#pragma once

#include "control/ValidateReturn.h"
#include "model/TaskHandle.h"

#include <QCoroTask>
#include <QPointer>

#include <memory>
#include <optional>

class Device;
class HealthListState;

// The refresh toggle of the device panels: starts a refresh of the device's information or
// cancels the running one. The refresh runs on as a task of its own after the panel that started
// it is gone; it holds the device and the health list only through QPointer.
class RefreshToggle
{
public:
    // Clears the device's error; while the device is refreshing cancels its recorded task (a
    // refresh without a recorded task is left alone), otherwise marks it refreshing and starts a
    // refresh whose handle goes into Device::refreshTask. The settings are read when it starts.
    // `health` receives the readings after a successful refresh; it may be null.
    static void toggle(Device* device, HealthListState* health);

    // Marks the device refreshing and records a fresh cancellation handle for it, replacing
    // (without cancelling) one recorded before.
    static std::shared_ptr<TaskHandle> begin(Device* device);
    // The device's refresh with the network settings of this moment. An error it throws (its
    // cancellation, a device deleted meanwhile) is written as one line and gives nothing.
    static QCoro::Task<std::optional<ValidateReturn>> refresh(
        QPointer<Device> device, std::shared_ptr<TaskHandle> handle);
    // Errors of refreshes started from a view go to the standard output only.
    static void printLine(const char* text);

private:
    static QCoro::Task<> run(
        QPointer<Device> device, QPointer<HealthListState> health, std::shared_ptr<TaskHandle> handle);
};
