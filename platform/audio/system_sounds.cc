#include "platform/audio/system_sounds.h"

#include <algorithm>
#include <bit>
#include <cstdio>

#include "platform/audio/sound_info.h"

namespace qv::audio {
namespace {

// Equal and described alike: unlike ==, 0.0 and -0.0 differ here, and a NaN equals itself.
bool identical(const pl::Value& a, const pl::Value& b) {
  if (a.type() != b.type()) return false;
  if (const double* x = a.ifReal()) return std::bit_cast<std::uint64_t>(*x) == std::bit_cast<std::uint64_t>(*b.ifReal());
  if (const pl::Date* x = a.ifDate())
    return std::bit_cast<std::uint64_t>(x->sinceReference) == std::bit_cast<std::uint64_t>(b.ifDate()->sinceReference);
  if (const pl::Array* x = a.ifArray()) {
    const pl::Array& y = *b.ifArray();
    return x->size() == y.size() && std::equal(x->begin(), x->end(), y.begin(), identical);
  }
  if (const pl::Dict* x = a.ifDict()) {
    const pl::Dict& y = *b.ifDict();
    return x->size() == y.size() && std::equal(x->begin(), x->end(), y.begin(), [](const auto& i, const auto& j) {
             return i.first == j.first && identical(i.second, j.second);
           });
  }
  return a == b;
}

}  // namespace

SystemSounds::Sound* SystemSounds::find(std::uint32_t sound) {
  for (Sound& s : sounds_)
    if (s.id == sound) return &s;
  return nullptr;
}

std::optional<std::uint32_t> SystemSounds::create(std::string_view devicePath) {
  std::shared_ptr<const Header> header;
  if (!root_.failReads && checked_ && checked_->path == devicePath && unchangedSinceChecked(checked_)) {
    header = checked_;
  } else {
    const std::uint64_t version = root_.version();
    auto bytes = root_.readShared(devicePath);
    if (!bytes) return std::nullopt;
    auto known = headers_.find(devicePath);
    if (known == headers_.end() || known->second->bytes != *bytes) {
      auto info = readSoundInfo(**bytes);
      if (!info) return std::nullopt;
      char detail[48];
      std::snprintf(detail, sizeof detail, "%.2f s", info->durationSeconds);
      // Sound names come from the settings; a few files are in use at a time.
      if (headers_.size() >= 64) headers_.clear();
      known = headers_
                  .insert_or_assign(std::string(devicePath),
                                    std::make_shared<const Header>(
                                        Header{std::string(devicePath), *bytes, info->durationSeconds, detail,
                                               devicePath.find_last_of('/') + 1}))
                  .first;
    }
    header = known->second;
    checked_ = header;
    checkedVersion_ = version;
  }
  const std::uint32_t id = nextId_++;
  sounds_.push_back(Sound{id, std::move(header), nullptr, nullptr});
  return id;
}

bool SystemSounds::addCompletion(std::uint32_t sound, const dispatch::QueueRef& mainQueue,
                                 std::function<void(std::uint32_t)> done) {
  Sound* s = find(sound);
  if (!s) return false;
  s->completion = std::move(done);
  s->completionQueue = mainQueue;
  return true;
}

void SystemSounds::removeCompletion(std::uint32_t sound) {
  if (Sound* s = find(sound)) s->completion = nullptr;
}

bool SystemSounds::play(std::uint32_t sound, const std::string& process) {
  if (sound == kShutterSystemSound) {
    timeline_.record(process, timeline::Kind::SystemSound, "shutter (1108)", {},
                     {{"sound", std::string("shutter")}, {"id", std::int64_t{kShutterSystemSound}}});
    return true;
  }
  Sound* s = find(sound);
  if (!s) return false;
  // Held: a listener or the completion may dispose of the sound meanwhile.
  const std::shared_ptr<const Header> header = s->header;
  // The file is read again at play time, as the audio server streams it.
  if (!unchangedSinceChecked(header) && !root_.exists(header->path)) return false;
  const std::string_view name = std::string_view(header->path).substr(header->nameAt);
  if (timeline_.active())
    timeline_.record(process, timeline::Kind::Sound, name, header->detail,
                     {{"sound", timeline::Borrowed{name}},
                      {"length_ms", static_cast<std::int64_t>(header->seconds * 1000 + 0.5)}});
  s = find(sound);
  if (s && s->completion && s->completionQueue) {
    scheduler_.after(s->completionQueue, dispatch::seconds(header->seconds), [this, sound] {
      Sound* found = find(sound);
      if (!found || !found->completion) return;
      auto done = found->completion;
      done(sound);
    });
  }
  return true;
}

void SystemSounds::dispose(std::uint32_t sound) {
  for (auto it = sounds_.begin(); it != sounds_.end(); ++it)
    if (it->id == sound) {
      sounds_.erase(it);
      return;
    }
}

void SystemSounds::playWithVibration(std::uint32_t sound, const pl::Dict& description, const std::string& process) {
  if (sound != kVibrateSystemSound) return;
  if (!timeline_.active()) return;
  const auto entry = description.find("VibePattern");
  const pl::Array* p = entry == description.end() ? nullptr : entry->second.ifArray();
  if (!p) {
    timeline_.record(process, timeline::Kind::Vibration, "pattern", "", {{"pattern", std::string()}});
    return;
  }
  // The same pattern comes at every alert: describe it once.
  if (p != lastPattern_.ifArray()) {
    const pl::Array* last = lastPattern_.ifArray();
    if (!last || last->size() != p->size() || !std::equal(p->begin(), p->end(), last->begin(), identical))
      lastPatternText_ = entry->second.describe();
    lastPattern_ = entry->second;
  }
  timeline_.record(process, timeline::Kind::Vibration, "pattern", lastPatternText_, {{"pattern", timeline::Borrowed{lastPatternText_}}});
}

}  // namespace qv::audio
