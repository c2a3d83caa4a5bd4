// JSON(url:) reading a 1 MiB configuration file into its contents, beside
// the baseline: reading the same file into a string and parsing it with
// nlohmann::json::parse. The goal is at most 1.1 times the baseline's time.
// The parse stages alone (bytes already in memory) are measured the same way.
#include "Data/JSON.hpp"

#include <benchmark/benchmark.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// A configuration-like document of about `size` bytes: sections of
// settings with strings, integers, doubles, Booleans, nulls and short lists.
std::string configurationText(std::size_t size) {
    std::ostringstream text;
    text << "{\n";
    for (int section = 0; text.tellp() < static_cast<std::streamoff>(size); ++section) {
        text << (section ? ",\n" : "") << "  \"section" << section << "\": {\n"
             << "    \"name\": \"Section number " << section << " with a longer description\",\n"
             << "    \"enabled\": " << (section % 2 ? "true" : "false") << ",\n"
             << "    \"retries\": " << section % 17 << ",\n"
             << "    \"timeout\": " << 0.25 * (section % 40) << ",\n"
             << "    \"owner\": null,\n"
             << "    \"hosts\": [\"alpha.example.org\", \"beta.example.org\", \"gamma.example.org\"],\n"
             << "    \"ports\": [80, 443, " << 8000 + section % 1000 << "],\n"
             << "    \"limits\": {\"cpu\": " << section % 8 << ", \"memory\": \"" << section % 64
             << "MiB\", \"ratio\": 1.5e-3}\n"
             << "  }";
    }
    text << "\n}\n";
    return text.str();
}

// The 1 MiB file, written once under the temporary folder.
struct Fixture {
    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "json-benchmark-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder = pattern;
        text = configurationText(1 << 20);
        std::ofstream(folder / "config.json", std::ios::binary) << text;
        url = orvane::URL::fileURLWithPath((folder / "config.json").string());
    }
    ~Fixture() { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    std::string text;
    orvane::URL url = orvane::URL::fileURLWithPath("/");
};

const Fixture& fixture() {
    static const Fixture instance;
    return instance;
}

void jsonFromURL(benchmark::State& state) {
    const Fixture& file = fixture();
    for (auto _ : state) {
        const orvane::JSON json(file.url);
        benchmark::DoNotOptimize(json.contents().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.text.size()));
}

void nlohmannFromFile(benchmark::State& state) {
    const Fixture& file = fixture();
    for (auto _ : state) {
        std::ifstream stream(file.folder / "config.json", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        const nlohmann::json json = nlohmann::json::parse(bytes);
        benchmark::DoNotOptimize(json.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.text.size()));
}

void jsonFromBytes(benchmark::State& state) {
    const Fixture& file = fixture();
    const orvane::Data bytes{std::string_view(file.text)};
    for (auto _ : state) {
        const orvane::JSON json(bytes.bytes(), file.url);
        benchmark::DoNotOptimize(json.contents().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.text.size()));
}

void nlohmannFromBytes(benchmark::State& state) {
    const Fixture& file = fixture();
    for (auto _ : state) {
        const nlohmann::json json = nlohmann::json::parse(file.text);
        benchmark::DoNotOptimize(json.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.text.size()));
}

}  // namespace

BENCHMARK(jsonFromURL)->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmannFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(jsonFromBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmannFromBytes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
