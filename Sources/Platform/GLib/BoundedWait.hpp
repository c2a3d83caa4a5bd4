// BoundedWait: runs asynchronous GIO calls to completion on the caller's
// thread within a deadline, and never longer.
//
// The wait pushes its private main context as the thread-default context, so
// every call begun inside it delivers its reply there, then iterates that
// context until each call finishes. At the deadline it cancels whatever is
// still running; a call that ignores the cancellation is abandoned a moment
// later (`graceMilliseconds`), so no caller waits much past its bound. Several
// calls may be in flight at once: begin() each, then finish() each; they share
// the deadline.
//
// Use one BoundedWait per operation, on one thread, and make nothing inside it
// that must outlive it (see ContextScope.hpp for the context rule).
//
//   glib::ContextPtr context(g_main_context_new());
//   glib::BoundedWait wait(context.get(), Clock::now() + 5s);
//   auto done = wait.run([&](GCancellable* c, GAsyncReadyCallback cb, gpointer data) {
//       g_dbus_connection_call(bus, name, path, iface, "Ping", nullptr, nullptr,
//                              G_DBUS_CALL_FLAGS_NONE, G_MAXINT, c, cb, data);
//   });
//   if (!done) { /* abandoned at the deadline */ }
//   GError* error = nullptr;
//   glib::VariantPtr reply(g_dbus_connection_call_finish(bus, done.get(), &error));
#pragma once

#include "Platform/GLib/GLibHandles.hpp"

#include <chrono>
#include <utility>

namespace orvane::glib {

class BoundedWait {
    struct Pending;

public:
    using Clock = std::chrono::steady_clock;

    // How long a cancelled call may take to wind down before it is abandoned.
    static constexpr guint graceMilliseconds = 1000;

    BoundedWait(GMainContext* context, Clock::time_point deadline);
    BoundedWait(const BoundedWait&) = delete;
    BoundedWait& operator=(const BoundedWait&) = delete;
    ~BoundedWait();

    // expired: whether the deadline has passed (and the calls were cancelled).
    bool expired() const { return expired_; }
    GCancellable* cancellable() const { return cancellable_.get(); }

    // Call: one call begun on a BoundedWait. A call dropped unfinished (when an
    // earlier one failed) is still waited for, within the same bound, so that
    // its reply is not left to a context nobody iterates.
    class Call {
    public:
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;
        Call(Call&& other) noexcept : wait_(other.wait_), pending_(std::exchange(other.pending_, nullptr)) {}
        Call& operator=(Call&&) = delete;
        ~Call() {
            if (pending_ != nullptr) {
                wait_.settle(std::exchange(pending_, nullptr));
            }
        }

    private:
        friend class BoundedWait;
        Call(BoundedWait& wait, Pending* pending) : wait_(wait), pending_(pending) {}

        BoundedWait& wait_;
        Pending* pending_;
    };

    // begin: `start(cancellable, callback, userData)` begins one asynchronous
    // call, which may be left in flight while another one begins.
    template <class Start>
    Call begin(Start&& start) {
        // Shared with the callback, which may still come after we gave up.
        auto* pending = newPending();
        std::forward<Start>(start)(cancellable_.get(), &BoundedWait::deliver, pending);
        return Call(*this, pending);
    }

    // finish: waits for a call made by begin() and returns the result it
    // handed to its callback, or null when the call was abandoned.
    ObjectPtr<GAsyncResult> finish(Call& call) { return settle(std::exchange(call.pending_, nullptr)); }

    // run: begin() and finish() of one call.
    template <class Start>
    ObjectPtr<GAsyncResult> run(Start&& start) {
        Call call = begin(std::forward<Start>(start));
        return finish(call);
    }

private:
    static Pending* newPending();
    static void deliver(GObject* source, GAsyncResult* result, gpointer data);
    static gboolean expire(gpointer self);
    static gboolean abandon(gpointer self);

    // settle: waits for the call behind `pending` (or the end of the grace
    // time) and lets go of it; its result, or null when it was abandoned.
    ObjectPtr<GAsyncResult> settle(Pending* pending);
    GSource* attachTimer(guint milliseconds, GSourceFunc callback);

    ContextPtr context_;
    ObjectPtr<GCancellable> cancellable_;
    GSource* deadlineTimer_ = nullptr;
    GSource* graceTimer_ = nullptr;
    bool expired_ = false;
    bool abandoned_ = false;
};

}  // namespace orvane::glib
