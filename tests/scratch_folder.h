// A fresh folder of one test's own under the system's temporary directory, removed with all it
// holds when the object goes. Declare it before anything that keeps files open in it (a world's
// file root), so that those go first. Not for sharing between threads that write in it.
//   ScratchFolder scratch("quorvel-command");
//   runQuorvelSim({scratch.write("day.json", R"({"run": "1h"})")});
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace qv {

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

 private:
  std::string path_;
};

}  // namespace qv
