// Turns fuzz bytes into structured input: small numbers, texts (a word of the rules' own
// vocabulary or raw bytes) and property-list values of any shape, read from the front so that
// fuzz/make_seed_corpus.py can write meaningful seeds. Every byte string decodes to something.
//   FuzzInput in(data, size);  pl::Value context = in.value();
// The encoding: value tags are in kValueTags' order; a text byte below 0x80 picks a word of
// kVocabulary, 0x80 + n is followed by n raw bytes.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "platform/plist/keyed_archive.h"
#include "platform/plist/value.h"

namespace qv::fuzz {

// Keys, values, bundle ids and category ids the classification rules look at.
inline constexpr std::array<std::string_view, 56> kVocabulary = {
    "aps", "category", "remoteNotification", "localNotification", "jid", "missed-call-jid", "incoming-call-jid",
    "threema", "newmsg", "type", "missed-call", "call", "message", "message.1", "mention", "direct_message",
    "followed", "id", "identifier", "cmd", "callback_message", "call-back", "accept_decline", "reply_mute",
    "webrtc_incoming", "CAT_INCOMING_CALL", "CAT_INCOMING_MESSAGE", "CAT_MISSED_CALL", "default", "",
    "com.apple.mobilephone", "com.apple.MobileSMS", "com.apple.mobilemail", "com.apple.facetime",
    "net.whatsapp.WhatsApp", "com.facebook.Messenger", "ph.telegra.Telegraph", "ch.threema.iapp", "com.viber",
    "com.atebits.Tweetie2", "com.example.Chat", "com.example.Shop", "com.apple.mobiletimer", "systemAlert",
    "noIdentifier", "Quorvel", "/banner", "com.viber/banner", "BulletinDestinationLockScreen",
    "BulletinDestinationNotificationCenter", "BulletinDestinationBanner", "otherApplications", "globalEnabled",
    "showStatus", "NS.objects", "$class"};

enum ValueTag : std::uint8_t { Null, False, True, Int64, Int8, Real, Text, Data, Array, Dict, Archive, Date, kTags };

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  bool empty() const { return pos_ >= bytes_.size(); }
  // The next byte; 0 once the input is spent.
  std::uint8_t byte() { return empty() ? 0 : bytes_[pos_++]; }
  // A number below n (n <= 256).
  unsigned below(unsigned n) { return n == 0 ? 0 : byte() % n; }
  bool flag() { return byte() & 1; }

  std::string text() {
    const std::uint8_t b = byte();
    if (b < 0x80) return std::string(kVocabulary[b % kVocabulary.size()]);
    return raw(b - 0x80u);
  }
  std::string raw(std::size_t n) {
    n = std::min(n, bytes_.size() - std::min(pos_, bytes_.size()));
    std::string out(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
    pos_ += n;
    return out;
  }
  template <class T>
  T scalar() {
    T out{};
    const std::string b = raw(sizeof(T));
    std::memcpy(&out, b.data(), b.size());
    return out;
  }

  // A value of any shape; nesting stops at `maxDepth` (deeper levels read as null).
  pl::Value value(int depth = 0) {
    const std::uint8_t tag = byte() % kTags;
    switch (tag) {
      case False: return pl::Value(false);
      case True: return pl::Value(true);
      case Int64: return pl::Value(scalar<std::int64_t>());
      case Int8: return pl::Value(static_cast<std::int64_t>(static_cast<std::int8_t>(byte())));
      case Real: return pl::Value(scalar<double>());
      case Text: return pl::Value(text());
      case Data: {
        const std::string b = raw(byte());
        return pl::Value(pl::Data(b.begin(), b.end()));
      }
      case Date: return pl::Value(pl::Date{scalar<double>()});
      case Array: {
        if (depth >= kMaxDepth) return pl::Value();
        pl::Array a;
        for (unsigned n = below(8); n > 0 && !empty(); --n) a.push_back(value(depth + 1));
        return pl::Value(std::move(a));
      }
      case Dict: return pl::Value(dict(depth));
      case Archive: {
        // A local notification archived around a userInfo of any shape (what the apps schedule).
        pl::Dict userInfo = depth >= kMaxDepth ? pl::Dict{} : dict(depth);
        return pl::Value(pl::archiveLocalNotification(userInfo));
      }
      default: return pl::Value();
    }
  }
  pl::Dict dict(int depth = 0) {
    pl::Dict d;
    if (depth >= kMaxDepth) return d;
    for (unsigned n = below(8); n > 0 && !empty(); --n) {
      std::string key = text();
      d[std::move(key)] = value(depth + 1);
    }
    return d;
  }

  static constexpr int kMaxDepth = 12;

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace qv::fuzz
