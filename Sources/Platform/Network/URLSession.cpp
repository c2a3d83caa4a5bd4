// The session's engine: one curl multi handle driven by one detached I/O
// thread. Other threads only queue transfers and wake the thread; every curl
// call on the multi, share and easy handles happens on the I/O thread, except
// creating them before the thread starts, curl_multi_wakeup (which libcurl
// allows from any thread) and cleaning them up once the thread has ended.
// Finished easy handles are kept configured and reused, so a request costs no
// handle set-up.
#include "Platform/Network/URLSession.hpp"

#include "Platform/Network/URLError.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orvane {

// One request on its way through the engine.
struct URLSessionTransfer {
    static constexpr std::size_t largestReservation = std::size_t{4} << 20;

    std::string url;
    URLSession::CompletionHandler completionHandler;
    Data body;
    std::size_t bodyLimit = 0;
    bool bodyTooLarge = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* easy = nullptr;
};

namespace {

void initialiseCurlOnce() {
    static const CURLcode status = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (status != CURLE_OK) {
        throw std::bad_alloc();
    }
}

// "<program> libcurl/<version>".
const std::string& userAgent() {
    static const std::string agent = std::string(program_invocation_short_name) + " libcurl/" +
                                     curl_version_info(CURLVERSION_NOW)->version;
    return agent;
}

// Larger than libcurl's 16 KiB: fewer wake-ups per large body.
constexpr long receiveBufferSize = 64 * 1024;

long milliseconds(double seconds) {
    return static_cast<long>(std::clamp(std::ceil(seconds * 1000.0), 1.0, 1e15));
}

URLErrorCode urlErrorCode(CURLcode code) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT: return URLErrorCode::timedOut;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return URLErrorCode::cannotFindHost;
        case CURLE_COULDNT_CONNECT: return URLErrorCode::cannotConnectToHost;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: return URLErrorCode::networkConnectionLost;
        case CURLE_TOO_MANY_REDIRECTS: return URLErrorCode::httpTooManyRedirects;
        case CURLE_BAD_CONTENT_ENCODING: return URLErrorCode::cannotDecodeRawData;
        case CURLE_FILESIZE_EXCEEDED: return URLErrorCode::dataLengthExceedsMaximum;
        case CURLE_PEER_FAILED_VERIFICATION: return URLErrorCode::serverCertificateUntrusted;
        case CURLE_SSL_CLIENTCERT: return URLErrorCode::clientCertificateRequired;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED: return URLErrorCode::secureConnectionFailed;
        case CURLE_UNSUPPORTED_PROTOCOL: return URLErrorCode::unsupportedURL;
        case CURLE_URL_MALFORMAT: return URLErrorCode::badURL;
        case CURLE_WEIRD_SERVER_REPLY: return URLErrorCode::badServerResponse;
        case CURLE_ABORTED_BY_CALLBACK: return URLErrorCode::cancelled;
        default: return URLErrorCode::unknown;
    }
}

std::size_t receiveBody(char* bytes, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<URLSessionTransfer*>(context);
    const std::size_t length = size * count;
    if (transfer->body.empty()) {
        // Room for an announced length, up to a bound, so a large body is not
        // copied as it grows; a server that announces more than it sends
        // costs no more than the bound.
        curl_off_t announced = -1;
        curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        if (announced > 0) {
            transfer->body.reserve(std::min({static_cast<std::size_t>(announced), transfer->bodyLimit,
                                             URLSessionTransfer::largestReservation}));
        }
    }
    if (length > transfer->bodyLimit - transfer->body.size()) {
        transfer->bodyTooLarge = true;
        return 0;  // fails the transfer with CURLE_WRITE_ERROR
    }
    transfer->body.append(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes), length));
    return length;
}

}  // namespace

class URLSession::Engine : public std::enable_shared_from_this<URLSession::Engine> {
public:
    Engine(URLSessionConfiguration configuration, std::shared_ptr<DispatchQueue> deliveryQueue)
        : configuration_(std::move(configuration)), deliveryQueue_(std::move(deliveryQueue)) {
        initialiseCurlOnce();
        multi_ = curl_multi_init();
        share_ = curl_share_init();
        if (multi_ == nullptr || share_ == nullptr) {
            curl_multi_cleanup(multi_);
            curl_share_cleanup(share_);
            throw std::bad_alloc();
        }
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }

    // Runs once the I/O thread has ended (or never started) and nobody can
    // submit any more, on whichever thread drops the last reference.
    ~Engine() {
        for (CURL* easy : spareHandles_) {
            curl_easy_cleanup(easy);
        }
        curl_multi_cleanup(multi_);
        curl_share_cleanup(share_);
    }

    // Starts the I/O thread, which keeps the engine alive until it ends.
    void start() {
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

    // Queues a transfer; after the engine has stopped, the transfer fails at once.
    void submit(std::unique_ptr<URLSessionTransfer> transfer) {
        bool queued = false;
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            if (!stopped_) {
                incoming_.push_back(std::move(transfer));
                queued = true;
                // One wake-up per batch: the thread takes everything queued.
                wake = incoming_.size() == 1;
            }
        }
        if (queued) {
            // Woken outside the lock, so the thread does not wake into a held
            // mutex; the multi handle lives as long as the engine the caller holds.
            if (wake) {
                curl_multi_wakeup(multi_);
            }
            return;
        }
        NSError error = makeURLError(URLErrorCode::cancelled, transfer->url, "the session has ended");
        deliver(std::move(transfer), std::nullopt, nullptr, std::move(error));
    }

    // The session is gone: end the thread once the transfers left have finished.
    void release() {
        {
            std::lock_guard lock(mutex_);
            owned_ = false;
        }
        curl_multi_wakeup(multi_);
    }

private:
    void run();
    void add(std::unique_ptr<URLSessionTransfer> transfer);
    CURL* makeHandle();
    void finish(CURL* easy, CURLcode status);
    void deliver(std::unique_ptr<URLSessionTransfer> transfer, std::optional<Data> body,
                 std::shared_ptr<URLResponse> response, std::optional<NSError> error) {
        deliveryQueue_->async([handler = std::move(transfer->completionHandler), body = std::move(body),
                               response = std::move(response), error = std::move(error)]() mutable {
            handler(std::move(body), std::move(response), std::move(error));
        });
    }

    // Finished handles kept configured for the next transfers, up to this many.
    static constexpr std::size_t maximumSpareHandles = 16;

    const URLSessionConfiguration configuration_;
    const std::shared_ptr<DispatchQueue> deliveryQueue_;
    CURLM* multi_ = nullptr;  // used on the I/O thread; curl_multi_wakeup from any thread

    std::mutex mutex_;
    std::deque<std::unique_ptr<URLSessionTransfer>> incoming_;  // guarded by mutex_
    bool owned_ = true;                                         // guarded by mutex_
    bool stopped_ = false;                                      // guarded by mutex_

    // I/O thread only.
    CURLSH* share_ = nullptr;
    std::vector<CURL*> spareHandles_;
    std::size_t running_ = 0;
};

void URLSession::Engine::run() {
    std::deque<std::unique_ptr<URLSessionTransfer>> arrived;
    for (;;) {
        bool owned = false;
        {
            std::lock_guard lock(mutex_);
            arrived.swap(incoming_);
            owned = owned_;
            if (!owned && arrived.empty() && running_ == 0) {
                stopped_ = true;  // later submissions fail instead of waiting forever
                break;
            }
        }
        for (auto& transfer : arrived) {
            add(std::move(transfer));
        }
        arrived.clear();
        int stillRunning = 0;
        curl_multi_perform(multi_, &stillRunning);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                finish(message->easy_handle, message->data.result);
            }
        }
        if (running_ == 0 && !owned) {
            continue;  // recheck for new work, then stop
        }
        // Returns early on socket activity, on curl's own timers and on a wake-up.
        curl_multi_poll(multi_, nullptr, 0, 60'000, nullptr);
    }
}

// A handle with every setting that is the same for all of the session's transfers.
CURL* URLSession::Engine::makeHandle() {
    CURL* easy = curl_easy_init();
    if (easy == nullptr) {
        return nullptr;
    }
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &receiveBody);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, static_cast<long>(configuration_.maximumRedirects));
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // every decoder this libcurl has
    curl_easy_setopt(easy, CURLOPT_SHARE, share_);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // cookie engine on, nothing read from disk
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>(std::ceil(configuration_.timeoutIntervalForRequest))));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(configuration_.connectTimeout));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds(configuration_.timeoutIntervalForResource));
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent().c_str());
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, receiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(configuration_.maximumBodySize));
    if (!configuration_.caFile.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, configuration_.caFile.c_str());
    }
    return easy;
}

void URLSession::Engine::add(std::unique_ptr<URLSessionTransfer> transfer) {
    CURL* easy = nullptr;
    if (spareHandles_.empty()) {
        easy = makeHandle();
    } else {
        easy = spareHandles_.back();
        spareHandles_.pop_back();
    }
    if (easy == nullptr) {
        const std::string url = transfer->url;
        deliver(std::move(transfer), std::nullopt, nullptr,
                makeURLError(URLErrorCode::unknown, url, "out of memory"));
        return;
    }
    URLSessionTransfer* raw = transfer.release();  // owned through CURLOPT_PRIVATE until finish()
    raw->easy = easy;
    raw->bodyLimit = configuration_.maximumBodySize;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, raw);
    curl_easy_setopt(easy, CURLOPT_URL, raw->url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, raw->errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, raw);
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) {
        finish(easy, CURLE_OUT_OF_MEMORY);
        return;
    }
    ++running_;
}

void URLSession::Engine::finish(CURL* easy, CURLcode status) {
    URLSessionTransfer* raw = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &raw);
    std::unique_ptr<URLSessionTransfer> transfer(raw);
    const bool wasAdded = curl_multi_remove_handle(multi_, easy) == CURLM_OK;
    if (wasAdded) {
        --running_;
    }
    std::optional<NSError> error;
    std::shared_ptr<URLResponse> response;
    std::optional<Data> body;
    if (transfer->bodyTooLarge || status == CURLE_FILESIZE_EXCEEDED) {
        error = makeURLError(URLErrorCode::dataLengthExceedsMaximum, transfer->url,
                             "the body is larger than " + std::to_string(configuration_.maximumBodySize) + " bytes");
    } else if (status != CURLE_OK) {
        const std::string detail = transfer->errorBuffer[0] != '\0' ? transfer->errorBuffer : curl_easy_strerror(status);
        error = makeURLError(urlErrorCode(status), transfer->url, detail);
    } else {
        long statusCode = 0;
        char* effectiveURL = nullptr;
        char* contentType = nullptr;
        curl_off_t length = -1;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &statusCode);
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effectiveURL);
        curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &contentType);
        curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (statusCode > 0) {
            response = std::make_shared<HTTPURLResponse>(effectiveURL != nullptr ? effectiveURL : transfer->url,
                                                         statusCode, contentType != nullptr ? contentType : "",
                                                         length);
        }
        body = std::move(transfer->body);
    }
    // The next transfer sets its own URL, buffers and context before it starts.
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    if (wasAdded && spareHandles_.size() < maximumSpareHandles) {
        spareHandles_.push_back(easy);
    } else {
        curl_easy_cleanup(easy);
    }
    deliver(std::move(transfer), std::move(body), std::move(response), std::move(error));
}

std::shared_ptr<URLSession> URLSession::sessionWithConfiguration(URLSessionConfiguration configuration) {
    return std::make_shared<URLSession>(Token{}, std::move(configuration));
}

URLSession::URLSession(Token, URLSessionConfiguration configuration)
    : configuration_(std::move(configuration)),
      delegateQueue_(DispatchQueue::create("com.orvane.URLSession.delegateQueue")),
      engine_(std::make_shared<Engine>(configuration_, delegateQueue_)) {
    engine_->start();
}

URLSession::~URLSession() {
    engine_->release();
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithURL(const URL& url, CompletionHandler completionHandler) {
    return std::make_shared<URLSessionDataTask>(engine_, url, std::move(completionHandler));
}

URLSessionDataTask::URLSessionDataTask(std::shared_ptr<URLSession::Engine> engine, URL url,
                                       URLSession::CompletionHandler completionHandler)
    : engine_(std::move(engine)), url_(std::move(url)), completionHandler_(std::move(completionHandler)) {}

void URLSessionDataTask::resume() {
    // An atomic flag rather than std::call_once, whose slow path makes a
    // futex call every time.
    if (resumed_.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    auto transfer = std::make_unique<URLSessionTransfer>();
    transfer->url = url_.absoluteString();
    transfer->completionHandler = std::move(completionHandler_);
    engine_->submit(std::move(transfer));
}

}  // namespace orvane
