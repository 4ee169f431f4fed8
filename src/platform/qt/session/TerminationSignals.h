#pragma once
// SIGTERM, SIGHUP and SIGINT, turned into a call from the event loop (a signal handler may do
// nothing but write to a pipe).

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vorda::qt {

class TerminationSignals {
public:
    // From now on, each of the three signals runs `handler` on the event loop's thread.
    explicit TerminationSignals(std::function<void()> handler);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::function<void()> handler_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vorda::qt
