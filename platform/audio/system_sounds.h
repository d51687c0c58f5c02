// The simulated system-sound service of a world: sounds created from real files, whose length
// comes from the file's own header; one audio output, so what plays is on the timeline with
// its length. A missing or unreadable file creates no sound; a file that disappears after
// creation fails to play. Completions arrive on the main queue of the process that asked.
// Main-queue use only (as the system uses it); not thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dispatch/scheduler.h"
#include "platform/fs/root.h"
#include "platform/plist/value.h"
#include "platform/timeline/timeline.h"

namespace qv::audio {

// System sound ids the platform itself provides.
inline constexpr std::uint32_t kVibrateSystemSound = 4095;
inline constexpr std::uint32_t kShutterSystemSound = 1108;

class SystemSounds {
 public:
  SystemSounds(dispatch::Scheduler& scheduler, timeline::Timeline& timeline, const fs::Root& root)
      : scheduler_(scheduler), timeline_(timeline), root_(root) {}

  std::optional<std::uint32_t> create(std::string_view devicePath);
  bool addCompletion(std::uint32_t sound, const dispatch::QueueRef& mainQueue, std::function<void(std::uint32_t)> done);
  void removeCompletion(std::uint32_t sound);
  // Plays a created sound, or a platform sound (shutter); false when it cannot play.
  bool play(std::uint32_t sound, const std::string& process);
  void dispose(std::uint32_t sound);
  void playWithVibration(std::uint32_t sound, const pl::Dict& description, const std::string& process);
  std::size_t liveSounds() const { return sounds_.size(); }

 private:
  // The header last read from each file, kept while the root hands out the same bytes (a file
  // unchanged since), because the system creates a sound from the same file at every alert.
  struct Header {
    std::string path;
    std::shared_ptr<const fs::Bytes> bytes;
    double seconds = 0;
    std::string detail;  // the length as the timeline shows it
    // Where the file's name starts in the path, found once: every play records the name.
    std::size_t nameAt = 0;
  };
  struct Sound {
    std::uint32_t id = 0;
    std::shared_ptr<const Header> header;  // the file as it was when the sound was created
    std::function<void(std::uint32_t)> completion;
    dispatch::QueueRef completionQueue;
  };
  Sound* find(std::uint32_t sound);

  dispatch::Scheduler& scheduler_;
  timeline::Timeline& timeline_;
  const fs::Root& root_;
  // The live sounds in the order made (ids only grow). The system disposes of each sound when it
  // has played, so this holds one or two: a short list found by walking, whose room is reused.
  std::vector<Sound> sounds_;
  std::map<std::string, std::shared_ptr<const Header>, std::less<>> headers_;
  // The header whose file the root last handed out to create(), and the root's version then:
  // while the root is the sole writer at that version, that file is still there with those bytes,
  // so the sound made from it at the next alert and its play need not look again.
  std::shared_ptr<const Header> checked_;
  std::uint64_t checkedVersion_ = 0;
  bool unchangedSinceChecked(const std::shared_ptr<const Header>& header) const {
    return header && header == checked_ && root_.soleWriter() && root_.version() == checkedVersion_;
  }
  // The vibration pattern last described, held as the value that shares its immutable array:
  // while a description hands over that very array, its text stands without a comparison.
  pl::Value lastPattern_;
  std::string lastPatternText_;
  std::uint32_t nextId_ = 4096 + 1;
};

}  // namespace qv::audio
