#include "orvane/ReplacementFile.hpp"

#include "orvane/FailureReport.hpp"
#include "orvane/SecretIO.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvane::cli {

ReplacementFile::ReplacementFile(std::string path) : path_(std::move(path)) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer before it could be refused.
    descriptor_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor_ < 0) {
        throw posixError(errno, "could not open the replacement file " + path_, path_);
    }
    struct stat status {};
    const char* refusal = nullptr;
    if (::fstat(descriptor_, &status) != 0 || !S_ISREG(status.st_mode)) {
        refusal = "it is not a regular file";
    } else if (static_cast<unsigned long long>(status.st_size) > maximumSize) {
        refusal = "it is larger than 16 MiB";
    }
    if (refusal != nullptr) {
        ::close(descriptor_);
        throw toolError(ToolFailure::replacementFile,
                        "refusing the replacement file " + path_ + ": " + refusal);
    }
}

ReplacementFile::~ReplacementFile() {
    ::close(descriptor_);
}

Data ReplacementFile::read() const {
    if (::lseek(descriptor_, 0, SEEK_SET) < 0) {
        throw posixError(errno, "could not read the replacement file " + path_, path_);
    }
    return readAll(descriptor_, "the replacement file " + path_, maximumSize);  // EFBIG if it grew
}

}  // namespace orvane::cli
