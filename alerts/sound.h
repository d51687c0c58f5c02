// The reminder sound, one at a time per process: created from a file of the package's Sounds
// folder, played, and disposed of by its completion, which clears the sound-busy flag. The flag
// is set only once the sound exists and its completion is registered, so a sound that cannot be
// created or played never silences later reminders. Main thread (completions arrive there too).
#pragma once

#include <string>
#include <string_view>

#include "core/settings_keys.h"

namespace qv::core {
class Library;
}

namespace qv::alerts {

inline constexpr std::string_view kSoundDirectory = "/Library/Application Support/Quorvel/Sounds/";

// The sound file a current-sound setting names; none when the name would leave the folder.
std::string reminderSoundPath(std::string_view soundName);
// The same, written into `path` in place of what it held (its room is reused).
void writeReminderSoundPath(std::string& path, std::string_view soundName);

// Plays the sound named by `currentSoundKey` unless a reminder sound is still playing.
void playReminderSound(core::Library& library, core::Key currentSoundKey);

}  // namespace qv::alerts
