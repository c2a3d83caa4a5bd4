#include "orvane/SecretIO.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"

#include <termios.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace orvane::cli {

namespace {

// ReadBuffer: the chunk that bytes pass through on their way into Data, wiped
// when it goes out of scope whichever way the read ends.
struct ReadBuffer {
    std::array<std::uint8_t, 16384> bytes{};
    ~ReadBuffer() { wipeMemory(bytes.data(), bytes.size()); }
};

// readSome: one read(), retried when interrupted.
std::size_t readSome(int descriptor, ReadBuffer& buffer, std::string_view what) {
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer.bytes.data(), buffer.bytes.size());
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            throw posixError(errno, "could not read " + std::string(what));
        }
    }
}

// The terminal whose echo is off and its settings before, for the signal
// handler to restore; set before the handler is installed.
volatile std::sig_atomic_t quietTerminal = -1;
termios echoingSettings{};
constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void restoreEchoAndDie(int signalNumber) {
    ::tcsetattr(quietTerminal, TCSANOW, &echoingSettings);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// EchoOff: turns the terminal's echo off for its lifetime; a signal that
// ends the process meanwhile turns it back on first.
class EchoOff {
public:
    explicit EchoOff(int terminal) : terminal_(terminal) {
        if (::tcgetattr(terminal, &saved_) != 0) {
            throw posixError(errno, "could not read the terminal's settings");
        }
        echoingSettings = saved_;
        quietTerminal = terminal;
        for (const int signalNumber : endingSignals) {
            ::signal(signalNumber, restoreEchoAndDie);
        }
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ICANON;
        if (::tcsetattr(terminal, TCSAFLUSH, &quiet) != 0) {
            const int number = errno;
            restore();
            throw posixError(number, "could not turn the terminal's echo off");
        }
    }
    ~EchoOff() { restore(); }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    void restore() {
        ::tcsetattr(terminal_, TCSANOW, &saved_);
        for (const int signalNumber : endingSignals) {
            ::signal(signalNumber, SIG_DFL);
        }
        quietTerminal = -1;
    }

    int terminal_;
    termios saved_{};
};

Data readLineWithoutEcho(int terminal, int prompt) {
    Data line;
    {
        const EchoOff echoOff(terminal);
        // The prompt goes out once echo is off, so nothing typed after it shows.
        writeAll(prompt, Data(std::string_view("Secret: ")), "the prompt");
        ReadBuffer buffer;
        for (;;) {
            const std::size_t count = readSome(terminal, buffer, "the secret from the terminal");
            const std::uint8_t* begin = buffer.bytes.data();
            const std::uint8_t* end = begin + count;
            const std::uint8_t* lineEnd = std::find(begin, end, std::uint8_t{'\n'});
            line.append(std::span<const std::uint8_t>(begin, lineEnd));
            if (count == 0 || lineEnd != end) {
                break;
            }
        }
    }
    writeAll(prompt, Data(std::string_view("\n")), "the prompt");  // the line break the user typed
    return line;
}

}  // namespace

NSError posixError(int number, const std::string& description, const std::string& path) {
    ObjectDictionary userInfo{
        {std::string(NSLocalizedDescriptionKey), description + ": " + std::strerror(number)}};
    if (!path.empty()) {
        userInfo.emplace(std::string(NSFilePathErrorKey), path);
    }
    return NSError("NSPOSIXErrorDomain", number, std::move(userInfo));
}

Data readAll(int descriptor, std::string_view what, std::size_t limit) {
    Data data;
    ReadBuffer buffer;
    while (const std::size_t count = readSome(descriptor, buffer, what)) {
        if (count > limit - data.size()) {
            throw posixError(EFBIG, "could not read " + std::string(what));
        }
        data.append(std::span<const std::uint8_t>(buffer.bytes.data(), count));
    }
    return data;
}

Data readSecret(int input, int prompt) {
    if (::isatty(input) == 1) {
        return readLineWithoutEcho(input, prompt);
    }
    return readAll(input, "the secret from standard input");
}

void writeAll(int descriptor, const Data& data, std::string_view what) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(descriptor, data.data() + written, data.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw posixError(errno, "could not write " + std::string(what));
        }
        written += static_cast<std::size_t>(count);
    }
}

}  // namespace orvane::cli
