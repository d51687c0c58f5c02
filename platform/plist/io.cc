#include "platform/plist/io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <vector>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/plist/internal/binary_check.h"
#include "platform/plist/internal/binary_writer.h"
#include "platform/plist/internal/libplist_bridge.h"
#include "platform/plist/internal/plain_xml_reader.h"
#include "platform/plist/internal/plain_xml_writer.h"
#include "platform/plist/internal/xml_scan.h"

namespace qv::pl {
namespace {

constexpr std::string_view kBinaryMagic = "bplist00";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kShortestPropertyList = 8;
// The suffix that marks readFile's "no such file" errors; isMissingFile() looks for it.
constexpr std::string_view kMissingSuffix = ": no such file";

ReadLimits clamped(ReadLimits limits) {
  limits.maxDepth = std::min(limits.maxDepth, kDepthCeiling);
  // libplist takes 32-bit lengths.
  limits.maxBytes = std::min<std::size_t>(limits.maxBytes, UINT32_MAX);
  return limits;
}

std::string systemError(const std::string& path, const char* action, int error) {
  return path + ": cannot " + action + ": " + std::strerror(error);
}

// Closes the descriptor on every path out.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { close(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int close() {
    const int result = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Editors on other systems save UTF-8 XML with a byte-order mark; XML readers skip it, libplist
// does not. (A binary list starts with its magic, never with the mark.)
std::span<const std::uint8_t> afterByteOrderMark(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.starts_with(kUtf8ByteOrderMark) ? bytes.subspan(kUtf8ByteOrderMark.size()) : bytes;
}

}  // namespace

std::optional<Format> detectFormat(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (text.starts_with(kBinaryMagic)) return Format::Binary;
  std::size_t i = text.starts_with(kUtf8ByteOrderMark) ? kUtf8ByteOrderMark.size() : 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  if (i < text.size() && text[i] == '<') return Format::Xml;
  return std::nullopt;
}

namespace {

Result<Value> parseUncached(std::span<const std::uint8_t> bytes, ReadLimits limits);

// The same bytes are often parsed again soon: the settings file after a write by the store, the
// invariant checker and the world's own edit; a local notification's archive by two entry points.
// Parsing is a pure function of the bytes and the limits, so the last few results are kept per
// thread and handed out again as copies.
constexpr std::size_t kCachedParses = 4;
constexpr std::size_t kLargestCachedInput = 64 * 1024;

struct CachedParse {
  std::vector<std::uint8_t> bytes;
  ReadLimits limits;
  std::optional<Result<Value>> result;
};

bool sameLimits(const ReadLimits& a, const ReadLimits& b) {
  return a.maxDepth == b.maxDepth && a.maxNodes == b.maxNodes && a.maxBytes == b.maxBytes;
}

struct ParseCache {
  std::array<CachedParse, kCachedParses> slots;
  std::size_t next = 0;
  CachedParse& take() {
    CachedParse& slot = slots[next];
    next = (next + 1) % kCachedParses;
    slot.result.reset();
    return slot;
  }
};

ParseCache& parseCache() {
  thread_local ParseCache cache;
  return cache;
}

std::size_t nodeCount(const Value& v) {
  std::size_t n = 1;
  if (const Array* a = v.ifArray())
    for (const Value& e : *a) n += nodeCount(e);
  if (const Dict* d = v.ifDict())
    for (const auto& [key, e] : *d) n += nodeCount(e);
  return n;
}

// Our plain XML (see plain_xml_writer.h) reads back as exactly the value written: the plain
// reader and writer are each other's inverse on that form (dictionaries with plain keys, arrays,
// plain ASCII strings, decimal integers, booleans; tested). So the bytes just written are
// remembered as a parse under the default limits, within which the writer's nesting and a
// settings file's size stay: the next read of the file (the store, the invariant checker) finds
// it without reading the text again.
void rememberPlainXml(const std::vector<std::uint8_t>& bytes, const Value& v) {
  const ReadLimits limits{};
  if (bytes.size() < kShortestPropertyList || bytes.size() > kLargestCachedInput || nodeCount(v) > limits.maxNodes)
    return;
  CachedParse& slot = parseCache().take();
  slot.bytes = bytes;
  slot.limits = limits;
  slot.result = Result<Value>(v);
}

}  // namespace

Result<Value> parse(std::span<const std::uint8_t> bytes, ReadLimits limits) {
  if (bytes.size() > kLargestCachedInput) return parseUncached(bytes, limits);
  ParseCache& cache = parseCache();
  for (const CachedParse& c : cache.slots)
    if (c.result && c.bytes.size() == bytes.size() && sameLimits(c.limits, limits) &&
        std::equal(bytes.begin(), bytes.end(), c.bytes.begin()))
      return *c.result;
  CachedParse& slot = cache.take();
  slot.bytes.assign(bytes.begin(), bytes.end());
  slot.limits = limits;
  slot.result = parseUncached(bytes, limits);
  return *slot.result;
}

namespace {

Result<Value> parseUncached(std::span<const std::uint8_t> bytes, ReadLimits limits) {
  limits = clamped(limits);
  if (bytes.size() < kShortestPropertyList)
    return Error{"property list: " + std::to_string(bytes.size()) + " bytes are too few to be one"};
  if (bytes.size() > limits.maxBytes)
    return Error{"property list: " + std::to_string(bytes.size()) + " bytes exceed the limit of " +
                 std::to_string(limits.maxBytes)};
  const auto format = detectFormat(bytes);
  if (!format) return Error{"property list: neither binary (\"bplist00\") nor XML"};
  bytes = afterByteOrderMark(bytes);
  const Status checked =
      *format == Format::Binary
          ? internal::checkBinaryStructure(bytes, {limits.maxDepth, limits.maxNodes})
          : internal::checkXmlNesting(bytes, limits.maxDepth, limits.maxNodes);
  if (!checked) return Error{checked.error()};
  if (*format == Format::Xml)
    if (auto plain = internal::readPlainXml(bytes, limits)) return std::move(*plain);
  return internal::readWithLibplist(bytes, *format, limits);
}

}  // namespace

std::vector<std::string> repeatedTopKeys(std::span<const std::uint8_t> bytes) {
  const Result<Value> read = parse(bytes);
  if (!read || !read->ifDict()) return {};
  // Read whole, so the bytes passed the structure checks that libplist needs.
  bytes = afterByteOrderMark(bytes);
  const std::vector<std::string> keys = detectFormat(bytes) == Format::Binary ? internal::binaryTopDictionaryKeys(bytes)
                                                                              : internal::xmlTopDictionaryKeys(bytes);
  std::map<std::string_view, int> seen;
  std::vector<std::string> repeated;
  for (const std::string& key : keys)
    if (++seen[key] == 2) repeated.push_back(key);
  return repeated;
}

Result<std::vector<std::uint8_t>> serialize(const Value& v, Format format) {
  if (format == Format::Xml)
    if (auto plain = internal::writePlainXml(v)) {
      rememberPlainXml(*plain, v);
      return std::move(*plain);
    }
  if (format == Format::Binary)
    if (auto bytes = internal::writeBinaryPlist(v)) return std::move(*bytes);
  return internal::writeWithLibplist(v, format);
}

Result<Value> readFile(const std::string& path, ReadLimits limits) {
  limits = clamped(limits);
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Error{path + std::string(kMissingSuffix)};
    return Error{systemError(path, "open", errno)};
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return Error{systemError(path, "inspect", errno)};
  if (S_ISDIR(info.st_mode)) return Error{path + ": is a directory, not a property list"};
  if (static_cast<std::uint64_t>(info.st_size) > limits.maxBytes)
    return Error{path + ": " + std::to_string(info.st_size) + " bytes exceed the limit of " + std::to_string(limits.maxBytes)};
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[64 * 1024];
  while (true) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error{systemError(path, "read", errno)};
    if (n == 0) break;
    // The size may have grown since fstat; the limit still holds.
    if (bytes.size() + static_cast<std::size_t>(n) > limits.maxBytes)
      return Error{path + ": more bytes than the limit of " + std::to_string(limits.maxBytes)};
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  auto value = parse(bytes, limits);
  if (!value) return Error{path + ": " + value.error()};
  return value;
}

bool isMissingFile(const std::string& errorMessage) {
  return std::string_view(errorMessage).ends_with(kMissingSuffix);
}

bool isMissingFile(const Error& error) { return isMissingFile(error.message); }

Status writeFileAtomic(const std::string& path, const Value& v, Format format) {
  auto bytes = serialize(v, format);
  if (!bytes) return Error{path + ": " + bytes.error()};
  std::string temporary = path + ".XXXXXX";
  FileDescriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) return Error{systemError(path, "create a temporary file beside", errno)};
  auto abandon = [&](const char* action) -> Status {
    const int error = errno;
    fd.close();
    ::unlink(temporary.c_str());
    return Error{systemError(path, action, error)};
  };
  // Keep the permissions of the file being replaced; mkstemp's 0600 is for new files only.
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd.get(), mode) != 0) return abandon("set permissions on the temporary file for");
  if (!writeAll(fd.get(), *bytes)) return abandon("write");
  if (::fsync(fd.get()) != 0) return abandon("flush");
  if (fd.close() != 0) return abandon("close");
  if (::rename(temporary.c_str(), path.c_str()) != 0) return abandon("replace");
  // Make the rename itself durable; a failure here leaves the new file in place, so it is ignored.
  FileDescriptor directory(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) ::fsync(directory.get());
  return Ok{};
}

}  // namespace qv::pl
