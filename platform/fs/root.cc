#include "platform/fs/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qv::fs {
namespace {

// Bounds the two memories when a caller (a fuzzer) names endless different paths.
constexpr std::size_t kPathsKept = 4096;

Result<std::string> computeHostPath(const std::string& dir, std::string_view devicePath) {
  if (devicePath.empty() || devicePath.front() != '/')
    return Error{"device path '" + std::string(devicePath) + "' is not absolute"};
  std::string path(devicePath);
  // On the device /var is a link to /private/var; both spellings name one file here.
  if (path == "/var" || path.rfind("/var/", 0) == 0) path = "/private" + path;
  std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
  for (const auto& part : normal)
    if (part == "..") return Error{"device path '" + std::string(devicePath) + "' climbs out of the root"};
  return dir + normal.string();
}

// The host path kept for a device path, without copying it (the key is built in a buffer that
// keeps its room, as the map takes no string view).
const std::string* knownHostPath(const std::unordered_map<std::string, std::string>& paths, std::string_view devicePath) {
  thread_local std::string key;
  key.assign(devicePath);
  auto it = paths.find(key);
  return it == paths.end() ? nullptr : &it->second;
}

}  // namespace

Root::Root(std::string hostDirectory) : dir_(std::move(hostDirectory)) {
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
}

Result<std::string> Root::hostPathLocked(std::string_view devicePath) const {
  if (const std::string* known = knownHostPath(hostPaths_, devicePath)) return *known;
  Result<std::string> p = computeHostPath(dir_, devicePath);
  if (!p) return p;
  if (hostPaths_.size() >= kPathsKept) hostPaths_.clear();
  hostPaths_.emplace(std::string(devicePath), *p);
  return p;
}

Result<std::string> Root::hostPath(std::string_view devicePath) const {
  std::lock_guard lock(mutex_);
  return hostPathLocked(devicePath);
}

Root::Seen& Root::seenLocked(const std::string& hostPath) const {
  auto it = seen_.find(hostPath);
  if (it != seen_.end()) return it->second;
  if (seen_.size() >= kPathsKept) seen_.clear();
  return seen_.emplace(hostPath, Seen{stampOfHostFile(hostPath), nullptr}).first->second;
}

void Root::forgetLocked(const std::string& hostPath) const {
  // A write may create folders above the file, and a replaced path takes what was under it.
  const auto inside = [](const std::string& inner, const std::string& outer) {
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
  };
  std::erase_if(seen_, [&](const auto& entry) {
    const std::string& p = entry.first;
    return p == hostPath || inside(p, hostPath) || inside(hostPath, p);
  });
}

void Root::setSoleWriter(bool sole) {
  std::lock_guard lock(mutex_);
  soleWriter_ = sole;
  seen_.clear();
  folders_.clear();
}

void Root::forgetChanges() {
  std::lock_guard lock(mutex_);
  changes_.clear();
}

Stamp Root::stamp(std::string_view devicePath) const {
  std::lock_guard lock(mutex_);
  if (soleWriter_)
    if (const std::string* known = knownHostPath(hostPaths_, devicePath)) return seenLocked(*known).stamp;
  auto p = hostPathLocked(devicePath);
  if (!p) return Stamp{};
  if (!soleWriter_) return stampOfHostFile(*p);
  return seenLocked(*p).stamp;
}

bool Root::exists(std::string_view devicePath) const { return stamp(devicePath).exists; }

Result<std::shared_ptr<const Bytes>> Root::readShared(std::string_view devicePath) const {
  if (failReads) return Error{"cannot read " + std::string(devicePath) + ": permission denied"};
  std::lock_guard lock(mutex_);
  if (soleWriter_)
    if (const std::string* known = knownHostPath(hostPaths_, devicePath))
      if (const Seen& seen = seenLocked(*known); seen.bytes) return seen.bytes;
  auto p = hostPathLocked(devicePath);
  if (!p) return Error{p.error()};
  Seen* seen = soleWriter_ ? &seenLocked(*p) : nullptr;
  if (seen && seen->bytes) return seen->bytes;
  if (seen && !seen->stamp.exists) return Error{*p + ": " + std::strerror(ENOENT)};
  auto bytes = readHostFile(*p);
  if (!bytes) return Error{bytes.error()};
  auto shared = std::make_shared<const Bytes>(std::move(*bytes));
  // Only a file seen as it is now is kept (not one a failed read left unclear).
  if (seen && seen->stamp.exists && static_cast<std::int64_t>(shared->size()) == seen->stamp.size)
    seen->bytes = shared;
  return shared;
}

Result<Bytes> Root::read(std::string_view devicePath) const {
  auto shared = readShared(devicePath);
  if (!shared) return Error{shared.error()};
  return **shared;
}

Status Root::writeAtomic(std::string_view devicePath, const Bytes& bytes) const {
  std::lock_guard lock(mutex_);
  auto p = hostPathLocked(devicePath);
  if (!p) return Error{p.error()};
  if (failWrites) return Error{"cannot write " + std::string(devicePath) + ": writes are failing"};
  // A folder made (or found) once stays while this object is the sole writer.
  const std::string folder = std::filesystem::path(*p).parent_path().string();
  if (!soleWriter_ || !folders_.contains(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (soleWriter_ && !ec) folders_.insert(folder);
  }
  Stamp written;
  Status s = writeHostFileAtomic(*p, bytes, &written);
  changes_.insert(*p);
  if (soleWriter_) {
    forgetLocked(*p);
    // What was just written is what the next read would find.
    if (s) seen_.emplace(*p, Seen{written.exists ? written : stampOfHostFile(*p), std::make_shared<const Bytes>(bytes)});
  }
  return s;
}

Status Root::remove(std::string_view devicePath) const {
  std::lock_guard lock(mutex_);
  auto p = hostPathLocked(devicePath);
  if (!p) return Error{p.error()};
  const int result = ::unlink(p->c_str());
  const int err = errno;
  changes_.insert(*p);
  if (soleWriter_) forgetLocked(*p);
  if (result != 0 && err != ENOENT) return Error{"cannot remove " + std::string(devicePath) + ": " + std::strerror(err)};
  return Ok{};
}

namespace {

Stamp stampOf(const struct stat& st) {
  Stamp s;
  s.exists = true;
  s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  s.size = st.st_size;
  s.inode = st.st_ino;
  return s;
}

}  // namespace

Stamp stampOfHostFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return Stamp{};
  return stampOf(st);
}

Result<Bytes> readHostFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Error{path + ": " + std::strerror(errno)};
  std::vector<std::uint8_t> bytes;
  std::uint8_t buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return Error{path + ": " + std::strerror(err)};
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buf, buf + n);
  }
  ::close(fd);
  return bytes;
}

Status writeHostFileAtomic(const std::string& path, const Bytes& bytes, Stamp* written) {
  std::string temp = path + ".tmp." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Error{"cannot write " + path + ": " + std::strerror(errno)};
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return Error{"cannot write " + path + ": " + std::strerror(err)};
    }
    done += static_cast<std::size_t>(n);
  }
  // The file's stamp as the rename will show it under `path` (a rename keeps inode and mtime).
  struct stat st;
  if (written && ::fstat(fd, &st) == 0) *written = stampOf(st);
  // No fsync: the rename gives readers all-or-nothing, which is what the simulation needs.
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Error{"cannot write " + path + ": " + std::strerror(err)};
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return Error{"cannot replace " + path + ": " + std::strerror(err)};
  }
  return Ok{};
}

}  // namespace qv::fs
