// BlockingScope: marks a stretch of code in which the calling thread waits
// for other work (a semaphore, a sync on a queue, a group or operation-queue
// wait, a bounded wait on a GLib context).
//
// On a worker-pool thread the pool counts the worker as blocked for the
// scope's life, so it may start another worker for queued jobs at once; busy
// workers never count, so CPU-bound work does not grow the pool. On any other
// thread the scope does nothing. Scopes nest.
//
// Thread safety: a scope belongs to the thread that made it.
//
//   {
//       const orvane::BlockingScope blocking;
//       condition.wait(lock, [&] { return done; });
//   }
#pragma once

namespace orvane {

class BlockingScope {
public:
    BlockingScope();
    ~BlockingScope();
    BlockingScope(const BlockingScope&) = delete;
    BlockingScope& operator=(const BlockingScope&) = delete;

private:
    bool counted_;
};

}  // namespace orvane
