#pragma once

#include "model/TaskHandle.h"

#include <QCoroTask>
#include <QPointer>

#include <memory>

class Device;
class HealthListState;

// The refresh toggle of the device panels: starts a refresh of the device's information or
// cancels the running one. The refresh runs on as a task of its own after the panel that started
// it is gone; it holds the device and the health list only through QPointer.
class DeviceRefresh
{
public:
    // Clears the device's error; while the device is refreshing cancels its recorded task (a
    // refresh without a recorded task is left alone), otherwise marks it refreshing and starts a
    // refresh whose handle goes into Device::refreshTask. The settings are read when it starts.
    // `health` receives the readings after a successful refresh; it may be null.
    static void toggle(Device* device, HealthListState* health);

private:
    static QCoro::Task<> run(
        QPointer<Device> device, QPointer<HealthListState> health, std::shared_ptr<TaskHandle> handle);
};
