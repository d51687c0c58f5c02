#include "platform/audio/system_sounds.h"

#include <cstdio>

#include "platform/audio/sound_info.h"

namespace qv::audio {

std::optional<std::uint32_t> SystemSounds::create(const std::string& devicePath) {
  auto bytes = root_.read(devicePath);
  if (!bytes) return std::nullopt;
  auto info = readSoundInfo(*bytes);
  if (!info) return std::nullopt;
  const std::uint32_t id = nextId_++;
  sounds_[id] = Sound{devicePath, info->durationSeconds, nullptr, nullptr, {}};
  return id;
}

bool SystemSounds::addCompletion(std::uint32_t sound, const dispatch::QueueRef& mainQueue, std::string process,
                                 std::function<void(std::uint32_t)> done) {
  auto it = sounds_.find(sound);
  if (it == sounds_.end()) return false;
  it->second.completion = std::move(done);
  it->second.completionQueue = mainQueue;
  it->second.completionProcess = std::move(process);
  return true;
}

void SystemSounds::removeCompletion(std::uint32_t sound) {
  auto it = sounds_.find(sound);
  if (it != sounds_.end()) it->second.completion = nullptr;
}

bool SystemSounds::play(std::uint32_t sound, const std::string& process) {
  if (sound == kShutterSystemSound) {
    timeline_.record(process, timeline::Kind::SystemSound, "shutter (1108)");
    return true;
  }
  auto it = sounds_.find(sound);
  if (it == sounds_.end()) return false;
  // The file is read again at play time, as the audio server streams it.
  if (!root_.exists(it->second.path)) return false;
  const std::string name = it->second.path.substr(it->second.path.find_last_of('/') + 1);
  char detail[48];
  std::snprintf(detail, sizeof detail, "%.2f s", it->second.seconds);
  timeline_.record(process, timeline::Kind::Sound, name, detail);
  if (it->second.completion && it->second.completionQueue) {
    auto queue = it->second.completionQueue;
    scheduler_.after(queue, dispatch::seconds(it->second.seconds), [this, sound] {
      auto found = sounds_.find(sound);
      if (found == sounds_.end() || !found->second.completion) return;
      auto done = found->second.completion;
      done(sound);
    });
  }
  return true;
}

void SystemSounds::dispose(std::uint32_t sound) { sounds_.erase(sound); }

void SystemSounds::playWithVibration(std::uint32_t sound, const pl::Dict& description, const std::string& process) {
  if (sound != kVibrateSystemSound) return;
  std::string pattern;
  if (const pl::Array* p = pl::findArray(description, "VibePattern")) pattern = pl::Value(*p).describe();
  timeline_.record(process, timeline::Kind::Vibration, "pattern", pattern);
}

}  // namespace qv::audio
