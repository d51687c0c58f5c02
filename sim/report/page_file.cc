#include "sim/report/page_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace qv::sim::report {
namespace {

// A page starts with its doctype; leading white space and the case of the letters aside.
bool looksLikeHtml(const std::string& head) {
  const auto start = std::find_if(head.begin(), head.end(), [](unsigned char c) { return !std::isspace(c); });
  std::string word(start, head.end());
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
  return word.empty() || word.rfind("<!doctype html", 0) == 0 || word.rfind("<html", 0) == 0;
}

}  // namespace

std::optional<std::string> whyPageCannotBeWritten(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_directory(status)) return "is a directory";
  if (fs::exists(status)) {
    if (!fs::is_regular_file(status)) return "is not a regular file";
    if (::access(path.c_str(), W_OK) != 0) return std::string(std::strerror(errno));
    std::ifstream in(path, std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (!looksLikeHtml(head)) return "exists and is not an HTML page; a page is written only over an earlier page";
    return std::nullopt;
  }
  const fs::path parent = fs::path(path).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  if (!fs::is_directory(folder, ec)) return "no folder " + folder + " to write it in";
  if (::access(folder.c_str(), W_OK) != 0) return "the folder " + folder + " cannot be written to: " + std::strerror(errno);
  return std::nullopt;
}

}  // namespace qv::sim::report
