// FileManagerType: an object that stands for one file on disk.
//
// A conforming type supplies fileURL(); the interface supplies the rest as
// virtual functions with ready-made bodies: the path, an existence test,
// create() (an empty file, with any missing parent folders), deleteFile()
// (the file, or a folder with everything in it) and clean() (delete, then
// create). The ready-made operations reach each other through these virtual
// functions, so a type that supplies its own absolutePath() or exists()
// changes what the others use. size() is not replaceable.
//
// The operations never throw. They answer with a Boolean and write one line
// to the system log (NSLog) when something goes wrong; the line names the
// path exactly as it is, per-cent signs included, and never the system's
// error detail:
//
//   "Could not create file at location: <path> because it already exists"
//   "Could not create file at location: <path>"
//   "File doesn't exist at: <path>"
//   "Could not remove file from location: <path>"
//
// deleteFile() is the operation the interface calls `delete`, renamed
// because `delete` is a C++ keyword.
//
// Thread safety: no locking. The operations are synchronous file-system calls
// and may run on any thread; between the existence test and the action that
// follows, another thread or process can change the file.
//
//   struct VaultLock : orvane::FileManagerType {
//       orvane::URL fileURL() const override { return
//       orvane::URL::fileURLWithPath("/run/user/1000/vault.lock"); }
//   };
//   VaultLock lock;
//   if (!lock.exists()) lock.create();
//   std::optional<std::uint64_t> bytes = lock.size();   // 0
#pragma once

#include "Platform/Foundation/URL.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

class FileManagerType {
public:
    virtual ~FileManagerType() = default;

    // fileURL: where the file is. The one operation without a ready-made body.
    virtual URL fileURL() const = 0;

    // absolutePath: the path of fileURL(), escapes decoded, no scheme.
    virtual std::string absolutePath() const;
    // exists: whether a file or folder is at absolutePath() (links followed).
    virtual bool exists() const;
    // create: an empty file at absolutePath(), with its missing parent
    // folders, unless exists() says there is one already, or a link is there
    // (dangling or not; never followed): logged, true.
    // True when the file is there afterwards. A failed create() can leave
    // the parent folders it made.
    virtual bool create();
    // deleteFile: removes the item at absolutePath() when exists() says
    // there is one (a folder with everything in it), or a link that is there
    // (the link itself, never its target); a missing item is
    // logged and counts as success. False when the removal failed, or found
    // nothing to remove although exists() said there was something.
    virtual bool deleteFile();
    // clean: deleteFile(), then — only if that succeeded — create(); the
    // result of create(), or false. Logs nothing itself.
    virtual bool clean();

    // size: the size in bytes of the item at absolutePath() (a link itself,
    // not its target), or nothing when it cannot be read. Never logs.
    std::optional<std::uint64_t> size() const;

protected:
    FileManagerType() = default;
    FileManagerType(const FileManagerType&) = default;
    FileManagerType& operator=(const FileManagerType&) = default;
};

}  // namespace orvane
