// The world's file system: device paths ("/var/mobile/Library/...") mapped under one real
// directory on the build machine, laid out as on the device (/var is /private/var).
// Plus the few file operations the host needs: read whole files, write atomically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace qv::fs {

class Root {
 public:
  // `hostDirectory` is created if missing.
  explicit Root(std::string hostDirectory);

  const std::string& hostDirectory() const { return dir_; }
  // The real path of a device path; device paths must be absolute and may not climb out.
  Result<std::string> hostPath(std::string_view devicePath) const;
  bool exists(std::string_view devicePath) const;
  Result<std::vector<std::uint8_t>> read(std::string_view devicePath) const;
  // Writes a temporary file beside the target, then renames it over; creates parent folders.
  Status writeAtomic(std::string_view devicePath, const std::vector<std::uint8_t>& bytes) const;
  Status remove(std::string_view devicePath) const;
  // When set, every write fails as a full or read-only disk would (fault injection).
  bool failWrites = false;
  // When set, every read fails as a file without read permission would (fault injection).
  bool failReads = false;

 private:
  std::string dir_;
};

// Reads a whole real file; the error names the path.
Result<std::vector<std::uint8_t>> readHostFile(const std::string& path);
// Temporary file in the same folder, flushed, then renamed over `path`; on failure the old file
// is left as it was and the temporary file is removed.
Status writeHostFileAtomic(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace qv::fs
