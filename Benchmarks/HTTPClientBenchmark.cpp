// HTTPClientURLSession beside plain libcurl, against a libmicrohttpd server in
// this process on loopback:
//   - sequential 1 KiB GETs, request to callback (each made by the callback of
//     the one before), beside one reused curl_easy handle (curl_easy_perform);
//   - 32 concurrent 1 KiB GETs beside a bare curl multi loop on the
//     benchmark thread;
//   - one 1 MiB body, as throughput, beside the reused easy handle.
// Real time is measured: the client's work happens on its I/O thread and its
// delivery queue.
#include "System/HTTPClientURLSession.hpp"

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t smallSize = 1024;
constexpr std::size_t largeSize = std::size_t{1} << 20;
constexpr int concurrentCount = 32;

// The loopback server: "/small" answers 1 KiB, anything else 1 MiB.
class Server {
public:
    Server() : small_(smallSize, 's'), large_(largeSize, 'l') {
        daemon_ = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL, 0, nullptr, nullptr, &Server::answer,
                                   this, MHD_OPTION_THREAD_POOL_SIZE, 2u, MHD_OPTION_CONNECTION_LIMIT, 256u,
                                   MHD_OPTION_SOCK_ADDR, loopback(), MHD_OPTION_END);
        if (daemon_ == nullptr) {
            throw std::runtime_error("libmicrohttpd did not start");
        }
        port_ = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT)->port;
    }
    ~Server() { MHD_stop_daemon(daemon_); }

    std::string url(const char* path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    static sockaddr* loopback() {
        static sockaddr_in address = [] {
            sockaddr_in value{};
            value.sin_family = AF_INET;
            value.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return value;
        }();
        return reinterpret_cast<sockaddr*>(&address);
    }

    static MHD_Result answer(void* context, MHD_Connection* connection, const char* url, const char*, const char*,
                             const char*, size_t*, void** requestState) {
        // The first call only announces the request: a response queued then
        // would make libmicrohttpd close the connection after it.
        static int started = 0;
        if (*requestState == nullptr) {
            *requestState = &started;
            return MHD_YES;
        }
        auto* server = static_cast<Server*>(context);
        const std::string& body = std::string(url) == "/small" ? server->small_ : server->large_;
        MHD_Response* response =
            MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_PERSISTENT);
        const MHD_Result queued = MHD_queue_response(connection, MHD_HTTP_OK, response);
        MHD_destroy_response(response);
        return queued;
    }

    std::string small_;
    std::string large_;
    MHD_Daemon* daemon_ = nullptr;
    std::uint16_t port_ = 0;
};

Server& server() {
    static Server instance = [] {
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
            unsetenv(name);
        }
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return Server();
    }();
    return instance;
}

// Counts callbacks and lets the benchmark thread wait for a number of them.
class Arrivals {
public:
    void arrive() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_one();
    }
    void waitFor(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return count_ >= count; });
        count_ -= count;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

using ClientResult = orvane::Result<std::optional<orvane::Data>, orvane::NSError>;

void clientGets(benchmark::State& state, const char* path, int perIteration) {
    orvane::HTTPClientURLSession client;
    const orvane::URL url = *orvane::URL::fromString(server().url(path));
    Arrivals arrivals;
    auto onComplete = [&arrivals](ClientResult result) {
        benchmark::DoNotOptimize(result);
        arrivals.arrive();
    };
    client.get(url, onComplete);  // makes the session and the connection
    arrivals.waitFor(1);
    for (auto _ : state) {
        for (int index = 0; index < perIteration; ++index) {
            client.get(url, onComplete);
        }
        arrivals.waitFor(perIteration);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * perIteration *
                            static_cast<std::int64_t>(std::string(path) == "/small" ? smallSize : largeSize));
}

std::size_t appendBody(char* bytes, std::size_t size, std::size_t count, void* context) {
    static_cast<std::string*>(context)->append(bytes, size * count);
    return size * count;
}

CURL* makeEasy(const std::string& url, std::string* body) {
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, body);
    return easy;
}

void curlEasyGets(benchmark::State& state, const char* path) {
    std::string body;
    CURL* easy = makeEasy(server().url(path), &body);
    curl_easy_perform(easy);
    for (auto _ : state) {
        body = std::string();
        if (curl_easy_perform(easy) != CURLE_OK) {
            state.SkipWithError("curl_easy_perform failed");
            break;
        }
        benchmark::DoNotOptimize(body.data());
    }
    curl_easy_cleanup(easy);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::string(path) == "/small" ? smallSize : largeSize));
}

// Sequential GETs, each made by the previous one's callback, as an
// application chains dependent requests: an iteration runs from the first
// request to the last callback. The baseline performs as many in a row.
constexpr int chainLength = 32;

void sequentialSmall_HTTPClientURLSession(benchmark::State& state) {
    orvane::HTTPClientURLSession client;
    const orvane::URL url = *orvane::URL::fromString(server().url("/small"));
    Arrivals arrivals;
    std::atomic<int> remaining{1};
    std::function<void(ClientResult)> next = [&](ClientResult result) {
        benchmark::DoNotOptimize(result);
        if (remaining.fetch_sub(1) > 1) {
            client.get(url, next);
        } else {
            arrivals.arrive();
        }
    };
    client.get(url, next);  // makes the session and the connection
    arrivals.waitFor(1);
    for (auto _ : state) {
        remaining = chainLength;
        client.get(url, next);
        arrivals.waitFor(1);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * chainLength);
}

void sequentialSmall_curlEasy(benchmark::State& state) {
    std::string body;
    CURL* easy = makeEasy(server().url("/small"), &body);
    curl_easy_perform(easy);
    for (auto _ : state) {
        for (int index = 0; index < chainLength; ++index) {
            body = std::string();
            curl_easy_perform(easy);
            benchmark::DoNotOptimize(body.data());
        }
    }
    curl_easy_cleanup(easy);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * chainLength);
}
void concurrent32Small_HTTPClientURLSession(benchmark::State& state) {
    clientGets(state, "/small", concurrentCount);
}

void concurrent32Small_curlMulti(benchmark::State& state) {
    CURLM* multi = curl_multi_init();
    std::vector<std::string> bodies(concurrentCount);
    std::vector<CURL*> handles;
    for (auto& body : bodies) {
        handles.push_back(makeEasy(server().url("/small"), &body));
    }
    for (auto _ : state) {
        for (CURL* easy : handles) {
            curl_multi_add_handle(multi, easy);
        }
        int running = concurrentCount;
        while (running > 0) {
            curl_multi_perform(multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    curl_multi_remove_handle(multi, message->easy_handle);
                }
            }
            if (running > 0) {
                curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
            }
        }
        for (auto& body : bodies) {
            body = std::string();
        }
    }
    for (CURL* easy : handles) {
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
    }
    curl_multi_cleanup(multi);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * concurrentCount * smallSize);
}

void body1MiB_HTTPClientURLSession(benchmark::State& state) { clientGets(state, "/large", 1); }
void body1MiB_curlEasy(benchmark::State& state) { curlEasyGets(state, "/large"); }

}  // namespace

BENCHMARK(sequentialSmall_HTTPClientURLSession)->UseRealTime();
BENCHMARK(sequentialSmall_curlEasy)->UseRealTime();
BENCHMARK(concurrent32Small_HTTPClientURLSession)->UseRealTime();
BENCHMARK(concurrent32Small_curlMulti)->UseRealTime();
BENCHMARK(body1MiB_HTTPClientURLSession)->UseRealTime();
BENCHMARK(body1MiB_curlEasy)->UseRealTime();

BENCHMARK_MAIN();
