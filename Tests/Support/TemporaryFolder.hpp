// TemporaryFolder: a fresh folder under the system's temporary directory,
// removed with everything in it when the object goes away.
//
// Used by one test at a time; not copyable.
//
//   testsupport::TemporaryFolder folder;
//   std::filesystem::path file = folder.path() / "settings.plist";
#pragma once

#include <filesystem>

namespace testsupport {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
