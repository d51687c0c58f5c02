#include "platform/fs/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace qv::fs {

Root::Root(std::string hostDirectory) : dir_(std::move(hostDirectory)) {
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
}

Result<std::string> Root::hostPath(std::string_view devicePath) const {
  if (devicePath.empty() || devicePath.front() != '/')
    return Error{"device path '" + std::string(devicePath) + "' is not absolute"};
  std::string path(devicePath);
  // On the device /var is a link to /private/var; both spellings name one file here.
  if (path == "/var" || path.rfind("/var/", 0) == 0) path = "/private" + path;
  std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
  for (const auto& part : normal)
    if (part == "..") return Error{"device path '" + std::string(devicePath) + "' climbs out of the root"};
  return dir_ + normal.string();
}

bool Root::exists(std::string_view devicePath) const {
  auto p = hostPath(devicePath);
  struct stat st;
  return p && ::stat(p->c_str(), &st) == 0;
}

Result<std::vector<std::uint8_t>> Root::read(std::string_view devicePath) const {
  if (failReads) return Error{"cannot read " + std::string(devicePath) + ": permission denied"};
  auto p = hostPath(devicePath);
  if (!p) return Error{p.error()};
  return readHostFile(*p);
}

Status Root::writeAtomic(std::string_view devicePath, const std::vector<std::uint8_t>& bytes) const {
  auto p = hostPath(devicePath);
  if (!p) return Error{p.error()};
  if (failWrites) return Error{"cannot write " + std::string(devicePath) + ": writes are failing"};
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(*p).parent_path(), ec);
  return writeHostFileAtomic(*p, bytes);
}

Status Root::remove(std::string_view devicePath) const {
  auto p = hostPath(devicePath);
  if (!p) return Error{p.error()};
  if (::unlink(p->c_str()) != 0 && errno != ENOENT)
    return Error{"cannot remove " + std::string(devicePath) + ": " + std::strerror(errno)};
  return Ok{};
}

Result<std::vector<std::uint8_t>> readHostFile(const std::string& path) {
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

Status writeHostFileAtomic(const std::string& path, const std::vector<std::uint8_t>& bytes) {
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
