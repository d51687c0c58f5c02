// The world's file system: device paths ("/var/mobile/Library/...") mapped under one real
// directory on the build machine, laid out as on the device (/var is /private/var).
// Plus the few file operations the host needs: read whole files, write atomically, and a stamp
// that changes whenever a file does. Thread-safe.
// A world in virtual time is the only writer of its folder, so it turns on `soleWriter`: then a
// file is looked at on disk once and served from memory until a write or removal through this
// object changes it, and reading a file or its stamp costs no system call. A write is kept in
// memory too and reaches the disk only when someone may look there: when a real path at or
// above it is asked for, when the mode ends, or when this object goes (a world about to delete
// or restore its folder discards them instead). Where files may change behind the world's back
// (real-time play, a tester's editor), the mode stays off and every call asks the disk.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/result.h"

namespace qv::fs {

using Bytes = std::vector<std::uint8_t>;

// What tells one version of a file from another: equal stamps, equal contents (the rename of an
// atomic write gives every version a new inode).
struct Stamp {
  bool exists = false;
  std::int64_t mtimeNs = -1;
  std::int64_t size = -1;
  std::uint64_t inode = 0;
  friend bool operator==(const Stamp&, const Stamp&) = default;
};

class Root {
 public:
  // `hostDirectory` is created if missing.
  explicit Root(std::string hostDirectory);
  // Writes out what is kept in memory (see above).
  ~Root();
  Root(const Root&) = delete;
  Root& operator=(const Root&) = delete;

  const std::string& hostDirectory() const { return dir_; }
  // The real path of a device path; device paths must be absolute and may not climb out.
  // What was written at or under it is on disk when this returns.
  Result<std::string> hostPath(std::string_view devicePath) const;
  bool exists(std::string_view devicePath) const;
  // The file's stamp now (exists false when there is none).
  Stamp stamp(std::string_view devicePath) const;
  Result<Bytes> read(std::string_view devicePath) const;
  // The same without a copy: the bytes stay valid however the file changes later.
  Result<std::shared_ptr<const Bytes>> readShared(std::string_view devicePath) const;
  // Writes a temporary file beside the target, then renames it over; creates parent folders.
  // A sole writer creates the folders now and keeps the contents for later (see above).
  Status writeAtomic(std::string_view devicePath, const Bytes& bytes) const;
  Status remove(std::string_view devicePath) const;

  // The host paths written or removed through this object since it was made or since
  // forgetChanges(): what a world undoes when it is reset. Not to be read while another thread writes.
  const std::set<std::string>& changes() const { return changes_; }
  void forgetChanges();

  // Set when every change to the folder goes through this object while it lives (see above).
  // Either way, the writes kept in memory are written out first.
  void setSoleWriter(bool sole);
  // Puts every write kept in memory on disk; the first failure is reported.
  Status flush() const;
  // Forgets the writes kept in memory: the folder is about to be deleted or restored.
  void discardUnwritten();
  bool soleWriter() const { return soleWriter_; }
  // Changes at every write, removal, discarded write and change of mode through this object. While
  // it is the sole writer, a file read or found under one version reads and is found the same
  // until the version changes (reads that fail on purpose aside, see failReads).
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }
  // When set, every write fails as a full or read-only disk would (fault injection).
  bool failWrites = false;
  // When set, every read fails as a file without read permission would (fault injection).
  bool failReads = false;

 private:
  // A file as last seen on disk, or as last written through this object; `bytes` is empty
  // until it is first read.
  struct Seen {
    Stamp stamp;
    std::shared_ptr<const Bytes> bytes;
    bool folder = false;
  };
  Result<std::string> hostPathLocked(std::string_view devicePath) const;
  Seen& seenLocked(const std::string& hostPath) const;
  void forgetLocked(const std::string& hostPath) const;
  bool keepUnwrittenLocked(const std::string& hostPath, const Bytes& bytes) const;
  Status writeOutLocked(const std::string& hostPath) const;
  // Writes out the kept writes at or under `hostPath` (all of them when empty).
  Status flushLocked(std::string_view hostPath = {}) const;

  std::string dir_;
  bool soleWriter_ = false;
  mutable std::atomic<std::uint64_t> version_{0};
  void changed() const { version_.fetch_add(1, std::memory_order_acq_rel); }
  mutable std::mutex mutex_;
  // Device path to host path: a pure function of the path, kept for any mode.
  mutable std::unordered_map<std::string, std::string> hostPaths_;
  // By host path, only while `soleWriter_`.
  mutable std::unordered_map<std::string, Seen> seen_;
  mutable std::set<std::string> changes_;
  // Folders known to exist, only while `soleWriter_`.
  mutable std::unordered_set<std::string> folders_;
  // Host paths whose last write is only in `seen_`, only while `soleWriter_`.
  mutable std::set<std::string> unwritten_;
  // Kept writes get stamps no file on disk has: an inode from here on, one per write.
  mutable std::uint64_t nextUnwrittenInode_ = std::uint64_t{1} << 63;
};

// Reads a whole real file; the error names the path.
Result<Bytes> readHostFile(const std::string& path);
// The stamp of a real file.
Stamp stampOfHostFile(const std::string& path);
// Temporary file in the same folder, flushed, then renamed over `path`; on failure the old file
// is left as it was and the temporary file is removed. `written`, when given, gets the new
// file's stamp.
Status writeHostFileAtomic(const std::string& path, const Bytes& bytes, Stamp* written = nullptr);

}  // namespace qv::fs
