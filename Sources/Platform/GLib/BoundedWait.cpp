#include "Platform/GLib/BoundedWait.hpp"

#include "Platform/Dispatch/BlockingScope.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace orvane::glib {

// Pending: what a call's callback and its waiter share; whichever lets go
// last frees it.
struct BoundedWait::Pending {
    std::atomic<int> references{2};
    GAsyncResult* result = nullptr;

    void release() {
        if (references.fetch_sub(1) == 1) {
            if (result != nullptr) {
                g_object_unref(result);
            }
            delete this;
        }
    }
};

BoundedWait::BoundedWait(GMainContext* context, Clock::time_point deadline)
    : context_(g_main_context_ref(context)), cancellable_(g_cancellable_new()) {
    g_main_context_push_thread_default(context_.get());
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    const auto delay = std::clamp<std::int64_t>(remaining.count(), 0, G_MAXUINT);
    deadlineTimer_ = attachTimer(static_cast<guint>(delay), &BoundedWait::expire);
}

BoundedWait::~BoundedWait() {
    for (GSource* timer : {deadlineTimer_, graceTimer_}) {
        if (timer != nullptr) {
            g_source_destroy(timer);
            g_source_unref(timer);
        }
    }
    // GDBus frees a finished signal subscription's data from an idle in this
    // context; let that run before the context is let go.
    while (g_main_context_iteration(context_.get(), FALSE)) {
    }
    g_main_context_pop_thread_default(context_.get());
}

BoundedWait::Pending* BoundedWait::newPending() {
    return new Pending();
}

ObjectPtr<GAsyncResult> BoundedWait::settle(Pending* pending) {
    const BlockingScope blocking;
    while (pending->result == nullptr && !abandoned_) {
        g_main_context_iteration(context_.get(), TRUE);
    }
    ObjectPtr<GAsyncResult> result(std::exchange(pending->result, nullptr));
    pending->release();
    return result;
}

GSource* BoundedWait::attachTimer(guint milliseconds, GSourceFunc callback) {
    GSource* timer = g_timeout_source_new(milliseconds);
    g_source_set_callback(timer, callback, this, nullptr);
    g_source_attach(timer, context_.get());
    return timer;
}

void BoundedWait::deliver(GObject*, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<Pending*>(data);
    pending->result = G_ASYNC_RESULT(g_object_ref(result));
    pending->release();
}

gboolean BoundedWait::expire(gpointer self) {
    auto* wait = static_cast<BoundedWait*>(self);
    wait->expired_ = true;
    g_cancellable_cancel(wait->cancellable_.get());
    wait->graceTimer_ = wait->attachTimer(graceMilliseconds, &BoundedWait::abandon);
    return G_SOURCE_REMOVE;
}

gboolean BoundedWait::abandon(gpointer self) {
    static_cast<BoundedWait*>(self)->abandoned_ = true;
    return G_SOURCE_REMOVE;
}

}  // namespace orvane::glib
