#pragma once

#include <exception>
#include <memory>

// The cancellation mark of a running refresh. Cancelling only marks it; the refresh looks at
// the mark where it may stop and then throws RefreshCancelled.
class TaskHandle
{
public:
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }

private:
    bool m_cancelled = false;
};

class RefreshCancelled : public std::exception
{
public:
    const char* what() const noexcept override { return "CancellationError()"; }
};
