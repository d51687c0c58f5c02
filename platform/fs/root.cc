#include "platform/fs/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

// Whether `inner` names something inside the folder `outer`.
bool inside(std::string_view inner, std::string_view outer) {
  return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/';
}

struct OnDisk {
  Stamp stamp;
  bool folder = false;
};
OnDisk onDisk(const std::string& path);

}  // namespace

Root::~Root() {
  std::lock_guard lock(mutex_);
  (void)flushLocked();
}

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
  Result<std::string> p = hostPathLocked(devicePath);
  if (p && !unwritten_.empty())
    if (Status s = flushLocked(*p); !s) return Error{s.error()};
  return p;
}

Root::Seen& Root::seenLocked(const std::string& hostPath) const {
  auto it = seen_.find(hostPath);
  if (it != seen_.end()) return it->second;
  // Kept writes are the only copy of their files: they stay.
  if (seen_.size() >= kPathsKept) std::erase_if(seen_, [&](const auto& e) { return !unwritten_.contains(e.first); });
  const OnDisk found = onDisk(hostPath);
  return seen_.emplace(hostPath, Seen{found.stamp, nullptr, found.folder}).first->second;
}

void Root::forgetLocked(const std::string& hostPath) const {
  // Kept writes under a path about to be replaced or removed go to disk first, so the disk
  // answers for them (a write over a folder fails there, as it should).
  for (auto it = unwritten_.begin(); it != unwritten_.end();) {
    if (*it == hostPath) {
      it = unwritten_.erase(it);
    } else if (inside(*it, hostPath)) {
      (void)writeOutLocked(*it);
      it = unwritten_.erase(it);
    } else {
      ++it;
    }
  }
  // A write may create folders above the file, and a replaced path takes what was under it.
  std::erase_if(seen_, [&](const auto& entry) {
    const std::string& p = entry.first;
    return p == hostPath || inside(p, hostPath) || inside(hostPath, p);
  });
}

Status Root::writeOutLocked(const std::string& hostPath) const {
  auto it = seen_.find(hostPath);
  if (it == seen_.end() || !it->second.bytes) return Ok{};
  return writeHostFileAtomic(hostPath, *it->second.bytes);
}

Status Root::flushLocked(std::string_view hostPath) const {
  Status result = Ok{};
  for (auto it = unwritten_.begin(); it != unwritten_.end();) {
    if (!hostPath.empty() && *it != hostPath && !inside(*it, hostPath)) {
      ++it;
      continue;
    }
    Status s = writeOutLocked(*it);
    if (!s && result) result = s;
    it = unwritten_.erase(it);
  }
  return result;
}

bool Root::keepUnwrittenLocked(const std::string& hostPath, const Bytes& bytes) const {
  // A folder in the way is left to the real write, which fails as it should.
  if (seenLocked(hostPath).folder) return false;
  // Bounds the memory when a caller writes endless different paths.
  if (unwritten_.size() >= kPathsKept) (void)flushLocked();
  forgetLocked(hostPath);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const Stamp stamp{true, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count(),
                    static_cast<std::int64_t>(bytes.size()), nextUnwrittenInode_++};
  seen_.insert_or_assign(hostPath, Seen{stamp, std::make_shared<const Bytes>(bytes), false});
  unwritten_.insert(hostPath);
  return true;
}

Status Root::flush() const {
  std::lock_guard lock(mutex_);
  return flushLocked();
}

void Root::discardUnwritten() {
  std::lock_guard lock(mutex_);
  changed();
  for (const std::string& p : unwritten_) seen_.erase(p);
  unwritten_.clear();
}

void Root::setSoleWriter(bool sole) {
  std::lock_guard lock(mutex_);
  changed();
  (void)flushLocked();
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
  changed();
  auto p = hostPathLocked(devicePath);
  if (!p) return Error{p.error()};
  if (failWrites) return Error{"cannot write " + std::string(devicePath) + ": writes are failing"};
  // A folder made (or found) once stays while this object is the sole writer.
  const std::string folder = std::filesystem::path(*p).parent_path().string();
  bool folderReady = true;
  if (!soleWriter_ || !folders_.contains(folder)) {
    // A kept file where a folder must go is written out first, so the folder fails as it would.
    for (auto it = unwritten_.begin(); it != unwritten_.end();) {
      if (!inside(*p, *it)) {
        ++it;
        continue;
      }
      (void)writeOutLocked(*it);
      it = unwritten_.erase(it);
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    folderReady = !ec;
    if (soleWriter_ && !ec) folders_.insert(folder);
  }
  if (soleWriter_ && folderReady && keepUnwrittenLocked(*p, bytes)) {
    changes_.insert(*p);
    return Ok{};
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
  changed();
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

OnDisk onDisk(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return OnDisk{};
  return OnDisk{stampOf(st), S_ISDIR(st.st_mode)};
}

}  // namespace

Stamp stampOfHostFile(const std::string& path) { return onDisk(path).stamp; }

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
