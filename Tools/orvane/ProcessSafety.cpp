#include "orvane/ProcessSafety.hpp"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace orvane::cli {

namespace {

bool isOpen(int descriptor) {
    return ::fcntl(descriptor, F_GETFD) != -1;
}

bool isWritable(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags != -1 && (flags & O_ACCMODE) != O_RDONLY;
}

}  // namespace

StandardStreams secureProcess() {
    StandardStreams streams;
    streams.outputWritable = isWritable(STDOUT_FILENO);
    // open() takes the lowest free number, so each closed one is filled in turn.
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (!isOpen(descriptor) && ::open("/dev/null", O_RDWR) != descriptor) {
            ::_exit(1);  // cannot happen: the lower ones are open by now
        }
    }
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    return streams;
}

}  // namespace orvane::cli
