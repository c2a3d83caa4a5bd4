// MainLoop: drives the GLib default main context, where the main queue's
// blocks and main-run-loop timers run.
//
// An application that runs GTK, Qt (with the GLib dispatcher) or its own
// g_main_loop already iterates the context; tools and tests that have no loop
// of their own call runUntil from their main thread.
//
//   orvane::MainLoop::runUntil([&] { return delivered; }, std::chrono::seconds(5));
#pragma once

#include <chrono>
#include <functional>

namespace orvane::MainLoop {

// Iterates the default main context until `condition` holds (checked before
// each iteration) or `limit` passes. Returns whether the condition held.
// The condition is also re-checked every few milliseconds, so another thread
// may make it true without waking the context. If another thread owns the
// context, that thread runs it and this one only waits.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Iterates the default main context for `duration`, running whatever is due.
void runFor(std::chrono::milliseconds duration);

}  // namespace orvane::MainLoop
