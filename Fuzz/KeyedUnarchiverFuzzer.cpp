// Feeds arbitrary bytes to NSKeyedUnarchiver with one user class allowed.
//
// Besides crashes, leaks, hangs and memory blow-ups, it checks one property:
// whatever the unarchiver builds, the archiver can write again (strings that
// are not UTF-8 aside), and that archive must unarchive.
#include "Platform/Foundation/Data.hpp"
#include "Platform/Archive/NSCoding.hpp"
#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fuzzing {

// Reads every kind of value through the coder; the seed corpus archives it.
class Record : public orvane::NSObject, public orvane::NSCoding {
public:
    void encode(orvane::NSCoder& coder) const override {
        coder.encodeObject(child, "child");
        coder.encodeInteger(number, "number");
        coder.encodeBool(flag, "flag");
        coder.encodeDouble(ratio, "ratio");
    }
    static std::shared_ptr<Record> initWithCoder(orvane::NSCoder& coder) {
        if (!coder.containsValue("number")) {
            return nullptr;
        }
        auto record = std::make_shared<Record>();
        record->child = coder.decodeObject("child").value_or(orvane::Object());
        record->number = coder.decodeInteger("number");
        record->flag = coder.decodeBool("flag");
        record->ratio = coder.decodeDouble("ratio");
        return record;
    }

    orvane::Object child;
    std::int64_t number = 0;
    bool flag = false;
    double ratio = 0;
};

}  // namespace fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const std::vector<orvane::CodingClass> classes = {orvane::codingClass<fuzzing::Record>()};
    const auto object = orvane::NSKeyedUnarchiver::unarchiveObject(orvane::Data(bytes, size), classes);
    if (!object) {
        return 0;
    }
    (void)object->description();
    if (auto archive = orvane::NSKeyedArchiver::archivedData(*object)) {
        if (!orvane::NSKeyedUnarchiver::unarchiveObject(*archive, classes)) {
            std::abort();  // our own archive must read back
        }
    }
    return 0;
}
