// reachability-probe SECONDS [--made-on-worker]: the integration tests' window on a
// NetworkReachability in an environment they prepared (a private system bus
// with a mock NetworkManager, or a network namespace).
//
// Prints, one flushed line each:
//   monitor <GType name of GIO's monitor>
//   initial reachable|unreachable
//   available|unavailable main-thread|other-thread     (each observer call)
// and runs the main loop on its main thread until standard input is closed or
// SECONDS pass. Warnings of the reachability monitor go to standard error.
// With --made-on-worker the monitor is made on another thread, inside a
// private main context of its own, while the main thread runs the main loop.
#include "Core/ReachabilityManager.hpp"
#include "Core/SystemLogger.hpp"
#include "Platform/MainLoop.hpp"
#include "Reachability/NetworkReachability.hpp"

#include <poll.h>
#include <unistd.h>

#include <glib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

namespace {

class PrintingObserver : public orvane::NetworkReachabilityObserving {
public:
    void networkDidBecomeAvailable() override { print("available"); }
    void networkDidBecomeUnavailable() override { print("unavailable"); }

private:
    void print(const char* what) {
        std::printf("%s %s\n", what, std::this_thread::get_id() == mainThread_ ? "main-thread" : "other-thread");
        std::fflush(stdout);
    }
    std::thread::id mainThread_ = std::this_thread::get_id();
};

bool standardInputClosed() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) {
        return false;
    }
    char byte;
    return read(STDIN_FILENO, &byte, 1) <= 0;
}

}  // namespace

std::shared_ptr<orvane::NetworkReachability> makeOnWorker() {
    std::shared_ptr<orvane::NetworkReachability> reachability;
    std::atomic<bool> made{false};
    std::thread worker([&] {
        GMainContext* own = g_main_context_new();
        g_main_context_push_thread_default(own);
        reachability = orvane::NetworkReachability::create(std::make_shared<scrivlog::SystemLogger>());
        g_main_context_pop_thread_default(own);
        g_main_context_unref(own);
        made = true;
    });
    orvane::MainLoop::runUntil([&] { return made.load(); }, std::chrono::seconds(30));
    worker.join();
    return reachability;
}

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 30;
    const bool onWorker = argc > 2 && std::string_view(argv[2]) == "--made-on-worker";
    auto reachability = onWorker ? makeOnWorker()
                                 : orvane::NetworkReachability::create(std::make_shared<scrivlog::SystemLogger>());
    auto observer = std::make_shared<PrintingObserver>();
    reachability->addObserver(observer);
    std::printf("monitor %s\n",
                netrune::ReachabilityManager::reachabilityManagerWithHostName("probe")->monitorName().c_str());
    std::printf("initial %s\n", reachability->reachable() ? "reachable" : "unreachable");
    std::fflush(stdout);
    orvane::MainLoop::runUntil(standardInputClosed, std::chrono::seconds(seconds));
    return 0;
}
