// Files for tests: a fresh folder of one test's own under the system's temporary directory,
// removed with all it holds when the object goes (a fixed name would collide with a second suite
// running at once), and a whole file read back. Declare the folder before anything that keeps
// files open in it (a world's file root), so that those go first.
//   ScratchFolder scratch("quorvel-command");
//   runQuorvelSim({scratch.write("day.json", R"({"run": "1h"})")});
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv {

// A whole file as it stands, bytes and all; empty where it cannot be read.
inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class ScratchFolder {
 public:
  // Throws (a failed test) where no folder can be made.
  explicit ScratchFolder(const std::string& label = "quorvel") {
    std::string base = (std::filesystem::temp_directory_path() / (label + "-XXXXXX")).string();
    if (!::mkdtemp(base.data())) throw std::runtime_error("cannot make a temporary folder from " + base);
    path_ = base;
  }
  ~ScratchFolder() {
    std::error_code ignored;  // a folder already gone is no failure of the test that used it
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);  // a test that locked it
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of `name` inside the folder; nothing is made.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // Writes `text` as it stands to `name` (its folders made as needed) and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    const std::string file = *this / name;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    return file;
  }
  // What `name` holds; empty where it cannot be read.
  std::string read(const std::string& name) const { return fileText(*this / name); }

 private:
  std::string path_;
};

}  // namespace qv
