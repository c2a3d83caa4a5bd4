#include "Platform/Dispatch/MainLoop.hpp"

#include "Platform/Dispatch/MainContext.hpp"

#include <glib.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace orvane::MainLoop {
namespace {

using Clock = std::chrono::steady_clock;

// runUntil re-checks its condition at least this often, since whatever makes
// it true on another thread need not wake the context.
constexpr std::chrono::milliseconds conditionPollInterval(5);

// Holds the default context for the calling thread, if no other thread owns it.
class ContextOwnership {
public:
    ContextOwnership() : context_(mainContext()), owned_(g_main_context_acquire(context_) != FALSE) {}
    ~ContextOwnership() {
        if (owned_) {
            g_main_context_release(context_);
        }
    }
    ContextOwnership(const ContextOwnership&) = delete;
    ContextOwnership& operator=(const ContextOwnership&) = delete;

    // iterate: one pass of the context (prepare, poll, check, dispatch), as
    // g_main_context_iteration makes, but polling no longer than `wait`. When
    // another thread owns the context, that thread runs it; this one only waits.
    void iterate(std::chrono::milliseconds wait) {
        if (!owned_) {
            std::this_thread::sleep_for(std::min(wait, std::chrono::milliseconds(1)));
            return;
        }
        gint maxPriority = 0;
        g_main_context_prepare(context_, &maxPriority);
        gint timeout = 0;
        gint count = 0;
        while ((count = g_main_context_query(context_, maxPriority, &timeout, fds_.data(),
                                             static_cast<gint>(fds_.size()))) >
               static_cast<gint>(fds_.size())) {
            fds_.resize(static_cast<std::size_t>(count));
        }
        const auto cap = static_cast<gint>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
        if (timeout < 0 || timeout > cap) {
            timeout = cap;
        }
        g_main_context_get_poll_func(context_)(fds_.data(), static_cast<guint>(count), timeout);
        g_main_context_check(context_, maxPriority, fds_.data(), count);
        g_main_context_dispatch(context_);
    }

private:
    GMainContext* const context_;
    const bool owned_;
    std::vector<GPollFD> fds_ = std::vector<GPollFD>(8);
};

std::chrono::milliseconds untilDeadline(Clock::time_point deadline) {
    return std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
}

}  // namespace

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    if (!condition) {
        runFor(limit);
        return false;
    }
    const auto deadline = Clock::now() + limit;
    ContextOwnership context;
    while (!condition()) {
        const auto remaining = untilDeadline(deadline);
        if (remaining.count() <= 0) {
            return false;
        }
        context.iterate(std::min(remaining, conditionPollInterval));
    }
    return true;
}

void runFor(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    ContextOwnership context;
    for (auto remaining = untilDeadline(deadline); remaining.count() > 0;
         remaining = untilDeadline(deadline)) {
        context.iterate(remaining);
    }
}

}  // namespace orvane::MainLoop
