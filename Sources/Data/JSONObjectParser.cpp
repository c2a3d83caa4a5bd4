#include "Data/JSONObjectParser.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

namespace {

// Builds the Object tree from nlohmann's SAX events, one frame per open
// array or object. Returning false from any event stops the parse.
class ObjectBuilder final : public nlohmann::json_sax<nlohmann::json> {
public:
    // With `keepTopLevelDictionary`, a top-level object is kept as it is
    // built instead of being wrapped in an Object.
    explicit ObjectBuilder(bool keepTopLevelDictionary) : keepTopLevelDictionary_(keepTopLevelDictionary) {}

    std::optional<Object> result() { return std::move(root_); }
    std::optional<ObjectDictionary> topLevelDictionary() { return std::move(topLevelDictionary_); }

    bool null() override { return add(Object()); }
    bool boolean(bool value) override { return add(Object(value)); }
    bool number_integer(number_integer_t value) override { return add(Object(value)); }
    // Up to UINT64_MAX; Object keeps values above INT64_MAX unsigned.
    bool number_unsigned(number_unsigned_t value) override { return add(Object(value)); }
    bool number_float(number_float_t value, const string_t&) override {
        return std::isfinite(value) && add(Object(value));
    }
    bool string(string_t& value) override { return add(Object(std::move(value))); }
    bool binary(binary_t&) override { return false; }

    bool start_object(std::size_t) override { return open(Frame::Kind::object); }
    bool key(string_t& value) override {
        frames_.back().key = std::move(value);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Frame::Kind::array); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    struct Frame {
        enum class Kind { array, object } kind;
        ObjectArray array;
        ObjectDictionary dictionary;
        std::string key;
    };

    bool open(Frame::Kind kind) {
        if (frames_.size() >= jsonMaximumDepth) {
            return false;
        }
        frames_.push_back(Frame{kind, {}, {}, {}});
        return true;
    }

    bool close() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        if (frames_.empty() && keepTopLevelDictionary_ && frame.kind == Frame::Kind::object) {
            topLevelDictionary_ = std::move(frame.dictionary);
            return true;
        }
        return add(frame.kind == Frame::Kind::array ? Object(std::move(frame.array))
                                                    : Object(std::move(frame.dictionary)));
    }

    bool add(Object value) {
        if (frames_.empty()) {
            root_ = std::move(value);
            return true;
        }
        Frame& top = frames_.back();
        if (top.kind == Frame::Kind::array) {
            top.array.push_back(std::move(value));
        } else {
            top.dictionary.insert_or_assign(std::move(top.key), std::move(value));
        }
        return true;
    }

    const bool keepTopLevelDictionary_;
    std::vector<Frame> frames_;
    std::optional<Object> root_;
    std::optional<ObjectDictionary> topLevelDictionary_;
};

bool run(std::span<const std::uint8_t> bytes, ObjectBuilder& builder) {
    // nlohmann takes a NUL byte for the end of input and would ignore what
    // follows; JSON has no place for one outside a string, nor inside.
    if (!bytes.empty() && std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        return false;
    }
    try {
        return nlohmann::json::sax_parse(bytes.begin(), bytes.end(), &builder);
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

}  // namespace

std::optional<Object> JSONObjectParser::parse(std::span<const std::uint8_t> bytes) {
    ObjectBuilder builder(false);
    return run(bytes, builder) ? builder.result() : std::nullopt;
}

std::optional<ObjectDictionary> JSONObjectParser::parseDictionary(std::span<const std::uint8_t> bytes) {
    ObjectBuilder builder(true);
    return run(bytes, builder) ? builder.topLevelDictionary() : std::nullopt;
}

}  // namespace orvane
