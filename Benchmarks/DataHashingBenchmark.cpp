// StringHasher::computeHash on 1 KiB and 1 MiB strings (UTF-8 check,
// SHA-256 through CCEncryptor, Base64), beside the baseline: libcrypto's
// one-shot EVP SHA-256 and EVP Base64 of the same bytes, which checks no
// UTF-8. Both report bytes per second; the goal is at least 0.9 times the
// baseline's throughput. The second argument is how often an accented
// letter occurs (every 97th character, or never: plain ASCII).
#include "Data/StringHasher.hpp"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstddef>
#include <string>

namespace {

// Text a password manager hashes: printable ASCII, with a two-byte
// character every `accentEvery` characters unless that is 0.
std::string sampleText(std::size_t size, std::size_t accentEvery) {
    std::string text;
    text.reserve(size);
    for (std::size_t index = 0; text.size() < size; ++index) {
        if (accentEvery != 0 && index % accentEvery == accentEvery - 1 && text.size() + 2 <= size) {
            text += "\u00e9";
        } else {
            text += static_cast<char>('!' + (index * 31) % 94);
        }
    }
    return text;
}

void stringHasher(benchmark::State& state) {
    const std::string text =
        sampleText(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    const orvane::StringHasher hasher;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hasher.computeHash(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void evpSHA256AndBase64(benchmark::State& state) {
    const std::string text =
        sampleText(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    for (auto _ : state) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
        std::string encoded(4 * ((length + 2) / 3) + 1, '\0');
        encoded.resize(static_cast<std::size_t>(EVP_EncodeBlock(
            reinterpret_cast<unsigned char*>(encoded.data()), digest, static_cast<int>(length))));
        benchmark::DoNotOptimize(encoded);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(stringHasher)->ArgsProduct({{1 << 10, 1 << 20}, {97, 0}});
BENCHMARK(evpSHA256AndBase64)->ArgsProduct({{1 << 10, 1 << 20}, {97, 0}});

BENCHMARK_MAIN();
