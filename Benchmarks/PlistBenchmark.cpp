// PlistProxy.readString on a property list of 1,000 keys, as XML and as a
// binary list, beside a direct libplist read of the same file: read the
// bytes, plist_from_xml / plist_from_bin, plist_dict_get_item, take the string.
// Both sides read the file anew on every iteration, as PlistProxy does.
#include "Data/PlistProxy.hpp"
#include "Data/PropertyListSerialization.hpp"
#include "Platform/Archive/BinaryPropertyList.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int keyCount = 1000;
constexpr const char* lookedUpKey = "key-0500";

// The 1,000-key dictionary: strings, numbers, Booleans and small arrays.
orvane::ObjectDictionary sampleDictionary() {
    orvane::ObjectDictionary dictionary;
    for (int index = 0; index < keyCount; ++index) {
        char key[16];
        std::snprintf(key, sizeof key, "key-%04d", index);
        switch (index % 4) {
            case 0:
                dictionary.emplace(key, "value number " + std::to_string(index));
                break;
            case 1:
                dictionary.emplace(key, index * 7);
                break;
            case 2:
                dictionary.emplace(key, index % 3 == 0);
                break;
            default:
                dictionary.emplace(key, orvane::ObjectArray{index, 0.5, "x"});
        }
    }
    return dictionary;
}

class SampleFiles {
public:
    SampleFiles() {
        folder_ = fs::temp_directory_path() / ("orvane-plist-benchmark-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        const orvane::Object dictionary(sampleDictionary());
        const auto xml = orvane::PropertyListSerialization::xmlData(dictionary);
        const orvane::PropertyListNode tree = orvane::PropertyListSerialization::node(dictionary);
        const auto binary = orvane::BinaryPropertyList::serialize(tree.get());
        if (!xml || !binary) {
            throw std::runtime_error("could not make the sample property lists");
        }
        std::ofstream(xmlPath(), std::ios::binary) << *xml;
        std::ofstream(binaryPath(), std::ios::binary) << binary->toString();
    }
    ~SampleFiles() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path xmlPath() const { return folder_ / "sample.plist"; }
    fs::path binaryPath() const { return folder_ / "sample.bplist"; }

private:
    fs::path folder_;
};

const SampleFiles& sampleFiles() {
    static const SampleFiles files;
    return files;
}

class Preferences : public orvane::PlistProxy {
public:
    explicit Preferences(const fs::path& path) : url_(orvane::URL::fileURLWithPath(path.string())) {}
    orvane::URL plistURL() const override { return url_; }

private:
    orvane::URL url_;
};

// The baseline's file read: the whole file into a string.
std::string readFile(const fs::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    ::fstat(descriptor, &status);
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
        if (got <= 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(descriptor);
    return bytes;
}

std::string libplistReadString(const fs::path& path, bool binary) {
    const std::string bytes = readFile(path);
    plist_t root = nullptr;
    if (binary) {
        plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    } else {
        plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    }
    std::string result;
    if (plist_t entry = plist_dict_get_item(root, lookedUpKey);
        entry && plist_get_node_type(entry) == PLIST_STRING) {
        char* text = nullptr;
        plist_get_string_val(entry, &text);
        result = text;
        std::free(text);
    }
    plist_free(root);
    return result;
}

void run(benchmark::State& state, const auto& read) {
    for (auto _ : state) {
        auto value = read();
        if (value != "value number 500") {
            state.SkipWithError("wrong value read");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
}

void plistProxyReadStringXML(benchmark::State& state) {
    const Preferences preferences(sampleFiles().xmlPath());
    run(state, [&] { return preferences.readString(lookedUpKey).value_or(""); });
}

void libplistReadStringXML(benchmark::State& state) {
    run(state, [] { return libplistReadString(sampleFiles().xmlPath(), false); });
}

void plistProxyReadStringBinary(benchmark::State& state) {
    const Preferences preferences(sampleFiles().binaryPath());
    run(state, [&] { return preferences.readString(lookedUpKey).value_or(""); });
}

void libplistReadStringBinary(benchmark::State& state) {
    run(state, [] { return libplistReadString(sampleFiles().binaryPath(), true); });
}

}  // namespace

BENCHMARK(plistProxyReadStringXML)->Unit(benchmark::kMicrosecond);
BENCHMARK(libplistReadStringXML)->Unit(benchmark::kMicrosecond);
BENCHMARK(plistProxyReadStringBinary)->Unit(benchmark::kMicrosecond);
BENCHMARK(libplistReadStringBinary)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
