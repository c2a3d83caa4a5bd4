// reachability-probe [--made-on-worker]: the integration tests' window on a
// NetworkReachability in the environment they prepared. Prints, one flushed
// line each, "monitor <GIO's monitor type>", "initial reachable|unreachable",
// then "available|unavailable main-thread|other-thread" for each observer
// call, and runs the main loop on the main thread until standard input
// closes. With --made-on-worker the monitor is made on another thread inside
// a private main context, while the main thread runs the main loop.
#include "Core/ReachabilityManager.hpp"
#include "Core/SystemLogger.hpp"
#include "Platform/Dispatch/MainLoop.hpp"
#include "Reachability/NetworkReachability.hpp"

#include <glib.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>
#include <thread>

namespace {

const std::thread::id mainThread = std::this_thread::get_id();

class PrintingObserver : public orvane::NetworkReachabilityObserving {
    void networkDidBecomeAvailable() override { print("available"); }
    void networkDidBecomeUnavailable() override { print("unavailable"); }
    static void print(const char* what) {
        std::printf("%s %s\n", what,
                    std::this_thread::get_id() == mainThread ? "main-thread" : "other-thread");
        std::fflush(stdout);
    }
};

std::shared_ptr<orvane::NetworkReachability> make(bool onWorker) {
    if (!onWorker) {
        return orvane::NetworkReachability::create(std::make_shared<scrivlog::SystemLogger>());
    }
    std::shared_ptr<orvane::NetworkReachability> made;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        GMainContext* own = g_main_context_new();
        g_main_context_push_thread_default(own);
        made = orvane::NetworkReachability::create(std::make_shared<scrivlog::SystemLogger>());
        g_main_context_pop_thread_default(own);
        g_main_context_unref(own);
        done = true;
    });
    orvane::MainLoop::runUntil([&] { return done.load(); }, std::chrono::seconds(30));
    worker.join();
    return made;
}

}  // namespace

int main(int argc, char** argv) {
    auto reachability = make(argc > 1 && std::string_view(argv[1]) == "--made-on-worker");
    auto observer = std::make_shared<PrintingObserver>();
    reachability->addObserver(observer);
    std::printf("monitor %s\n",
                netrune::ReachabilityManager::reachabilityManagerWithHostName("-")->monitorName().c_str());
    std::printf("initial %s\n", reachability->reachable() ? "reachable" : "unreachable");
    std::fflush(stdout);
    const auto inputClosed = [] {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        char byte;
        return poll(&input, 1, 0) > 0 && read(STDIN_FILENO, &byte, 1) <= 0;
    };
    orvane::MainLoop::runUntil(inputClosed, std::chrono::minutes(2));
}
