// Feeds arbitrary bytes to the deserializer of every ready-made kind of
// BinarySerializable: JSON (a flat record and a recursive tree), keyed
// archive and integer raw value.
//
// Besides crashes, leaks, hangs and memory blow-ups, it checks one property:
// whatever a deserializer accepts serializes again, and those bytes give the
// same value back (a note whose text is not UTF-8 aside: it cannot be
// archived).
#include "Data/BinarySerializable.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace fuzzing {

struct Settings : orvane::BinarySerializable<Settings> {
    std::string name;
    std::int64_t retries = 0;
    double ratio = 0;
    std::vector<std::string> tags;
    friend void to_json(nlohmann::json& json, const Settings& settings) {
        json = {{"name", settings.name},
                {"retries", settings.retries},
                {"ratio", settings.ratio},
                {"tags", settings.tags}};
    }
    // An integer member takes only integers: nlohmann casts other numbers.
    friend void from_json(const nlohmann::json& json, Settings& settings) {
        if (!json.at("retries").is_number_integer()) {
            throw std::invalid_argument("retries");
        }
        json.at("name").get_to(settings.name);
        json.at("retries").get_to(settings.retries);
        json.at("ratio").get_to(settings.ratio);
        json.at("tags").get_to(settings.tags);
    }

    friend bool operator==(const Settings& lhs, const Settings& rhs) {
        return lhs.name == rhs.name && lhs.retries == rhs.retries && lhs.ratio == rhs.ratio &&
               lhs.tags == rhs.tags;
    }
};

struct Tree : orvane::BinarySerializable<Tree> {
    std::vector<Tree> children;
    friend void to_json(nlohmann::json& json, const Tree& tree) { json = tree.children; }
    friend void from_json(const nlohmann::json& json, Tree& tree) {
        tree.children = json.get<std::vector<Tree>>();
    }
};

class Note : public orvane::NSObject, public orvane::NSCoding, public orvane::BinarySerializable<Note> {
public:
    void encode(orvane::NSCoder& coder) const override {
        coder.encodeObject(orvane::Object(text), "text");
        coder.encodeInteger(count, "count");
    }
    static std::shared_ptr<Note> initWithCoder(orvane::NSCoder& coder) {
        auto text = coder.decodeObject("text");
        auto string = text ? text->as<std::string>() : std::nullopt;
        if (!string) {
            return nullptr;
        }
        auto note = std::make_shared<Note>();
        note->text = *string;
        note->count = coder.decodeInteger("count");
        return note;
    }
    std::string text;
    std::int64_t count = 0;
};

struct Priority : orvane::BinarySerializable<Priority> {
    std::int32_t value = 0;
    std::int32_t rawValue() const { return value; }
    static std::optional<Priority> fromRawValue(std::int32_t raw) {
        if (raw % 7 == 0) {
            return std::nullopt;
        }
        Priority priority;
        priority.value = raw;
        return priority;
    }
};

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using namespace fuzzing;
    const orvane::Data data(bytes, size);

    if (auto settings = Settings::deserialize(data)) {
        const orvane::Data again = settings->serialize();
        // Only a string that is not UTF-8 cannot be written back, and the
        // parser accepts none.
        require(!again.empty());
        const auto back = Settings::deserialize(again);
        // NaN never parses, so equality holds for every accepted ratio.
        require(back && *back == *settings);
    }
    if (auto tree = Tree::deserialize(data)) {
        const orvane::Data again = tree->serialize();
        require(!again.empty() && Tree::deserialize(again).has_value());
    }
    if (auto note = Note::deserialize(data)) {
        const orvane::Data again = note->serialize();
        if (again.empty()) {
            // The unarchiver passes on strings that are not UTF-8, which the
            // archiver refuses to write; nothing else may fail.
            require(!orvane::NSKeyedArchiver::archivedData(orvane::Object(note->text)));
        } else {
            const auto back = Note::deserialize(again);
            require(back && back->text == note->text && back->count == note->count);
        }
    }
    if (auto priority = Priority::deserialize(data)) {
        const auto back = Priority::deserialize(priority->serialize());
        require(back && back->value == priority->value);
    }
    return 0;
}
