#include "alerts/sound.h"

#include <cstdint>

#include "core/library.h"

namespace qv::alerts {
namespace {

constexpr std::string_view kSoundSubject = "reminder sound";

// A name is one path component inside the Sounds folder; anything else names no sound file.
bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

void soundFinished(core::Library& library, std::uint32_t sound) {
  library.host.removeSystemSoundCompletion(sound);
  library.host.disposeSystemSound(sound);
  library.alerts.soundBusy = false;
}

void explainSilence(core::Library& library, std::string_view why, std::string_view name) {
  if (library.host.timeline().wantsDecisions())
    library.explain(kSoundSubject, std::string(why) + " \"" + std::string(name) + "\"");
}

}  // namespace

std::string reminderSoundPath(std::string_view soundName) {
  std::string path;
  writeReminderSoundPath(path, soundName);
  return path;
}

void writeReminderSoundPath(std::string& path, std::string_view soundName) {
  path.clear();
  if (isPlainFileName(soundName)) path.append(kSoundDirectory).append(soundName);
}

void playReminderSound(core::Library& library, core::Key currentSoundKey) {
  const std::string name = library.settings.string(currentSoundKey);
  // Written into the library's own string, whose room serves every fire (no path made each time).
  std::string& path = library.alerts.soundPath;
  writeReminderSoundPath(path, name);
  if (library.alerts.soundBusy) {
    library.explain(kSoundSubject, "silent: an earlier reminder sound is still playing");
    return;
  }
  if (path.empty()) return explainSilence(library, "silent: not a file of the Sounds folder:", name);
  host::Host& host = library.host;
  std::optional<std::uint32_t> sound = host.createSystemSound(path);
  if (!sound) return explainSilence(library, "silent: no playable sound file", name);
  core::Library* lib = &library;
  if (!host.addSystemSoundCompletion(*sound, [lib](std::uint32_t id) { soundFinished(*lib, id); })) {
    host.disposeSystemSound(*sound);
    return explainSilence(library, "silent: the sound service refused a completion for", name);
  }
  library.alerts.soundBusy = true;
  if (!host.playSystemSound(*sound)) {
    soundFinished(library, *sound);
    explainSilence(library, "silent: could not play", name);
  }
}

}  // namespace qv::alerts
