#pragma once

#include "control/ValidateReturn.h"
#include "model/TaskHandle.h"

#include <QCoroTask>
#include <QPointer>

#include <memory>
#include <optional>

class Device;

// The refresh toggle of the device panels: starts a refresh of the device's information or
// cancels the running one. The refresh runs on as a task of its own after the panel that started
// it is gone; it holds the device only through QPointer. Its readings land in the device itself,
// which every panel showing that device redraws from.
class RefreshToggle
{
public:
    // Clears the device's error; while the device is refreshing cancels its recorded task (a
    // refresh without a recorded task is left alone), otherwise starts a refresh. The settings
    // are read when it starts.
    static void toggle(Device* device);

    // Marks the device refreshing and starts a refresh whose handle goes into
    // Device::refreshTask, replacing (without cancelling) one recorded before. Only the newest
    // refresh of a device, and only while it is not cancelled, writes its message and clears
    // the flag when it ends.
    static void start(Device* device);

    // Errors of refreshes started from a view go to the standard output only.
    static void printLine(const char* text);

private:
    static QCoro::Task<> run(QPointer<Device> device, std::shared_ptr<TaskHandle> handle);
};
