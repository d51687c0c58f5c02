// The texts and fields of a timeline event. While listeners hear an event they borrow what the
// recorder passed (no copy per event); a copy always owns its data, so whatever a listener keeps
// by copying stays whole after the recorder's strings are gone.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/joined.h"

namespace qv::timeline {

// A text of an event: while a listener hears the event it may borrow the recorder's characters
// (no copy per event); a copy of it always owns its characters, so a listener that keeps an
// event (or a text of it) by copying it keeps it whole. Reads like a constant std::string.
class Text {
 public:
  Text() noexcept = default;
  Text(const char* s) : owned_(s), view_(owned_) {}  // NOLINT: converts like std::string
  Text(std::string_view s) : owned_(s), view_(owned_) {}  // NOLINT
  Text(std::string s) noexcept : owned_(std::move(s)), view_(owned_) {}  // NOLINT
  Text(const Text& o) : owned_(o.view_), view_(owned_) {}
  Text(Text&& o) : owned_(o.owns() ? std::move(o.owned_) : std::string(o.view_)), view_(owned_) { o.view_ = {}; }
  Text& operator=(const Text& o) { return *this = o.view_; }
  Text& operator=(Text&& o) {
    if (this != &o) {
      if (o.owns()) owned_ = std::move(o.owned_); else owned_.assign(o.view_);
      view_ = owned_;
      o.view_ = {};
    }
    return *this;
  }
  Text& operator=(std::string_view s) {
    owned_.assign(s);
    view_ = owned_;
    return *this;
  }
  Text& operator=(const char* s) { return *this = std::string_view(s); }
  Text& operator=(std::string&& s) noexcept {
    owned_ = std::move(s);
    view_ = owned_;
    return *this;
  }
  // Refers to `s` until the text is next set: only for the event being recorded.
  void borrow(std::string_view s) noexcept { view_ = s; }

  operator std::string_view() const noexcept { return view_; }  // NOLINT
  operator std::string() const { return std::string(view_); }   // NOLINT
  std::string_view view() const noexcept { return view_; }
  std::string str() const { return std::string(view_); }
  // Null-terminated; a borrowed text is copied first.
  const char* c_str() const {
    if (!owns()) {
      owned_.assign(view_);
      view_ = owned_;
    }
    return owned_.c_str();
  }
  const char* data() const noexcept { return view_.data(); }
  std::size_t size() const noexcept { return view_.size(); }
  bool empty() const noexcept { return view_.empty(); }
  auto begin() const noexcept { return view_.begin(); }
  auto end() const noexcept { return view_.end(); }
  std::size_t find(std::string_view s, std::size_t from = 0) const noexcept { return view_.find(s, from); }
  std::size_t find(char c, std::size_t from = 0) const noexcept { return view_.find(c, from); }
  bool starts_with(std::string_view s) const noexcept { return view_.starts_with(s); }
  bool ends_with(std::string_view s) const noexcept { return view_.ends_with(s); }
  std::string substr(std::size_t from, std::size_t n = std::string_view::npos) const {
    return std::string(view_.substr(from, n));
  }

  friend bool operator==(const Text& a, const Text& b) noexcept { return a.view_ == b.view_; }
  friend bool operator==(const Text& a, std::string_view b) noexcept { return a.view_ == b; }
  friend bool operator==(const Text& a, const char* b) noexcept { return a.view_ == b; }
  friend bool operator==(const Text& a, const std::string& b) noexcept { return a.view_ == b; }
  friend auto operator<=>(const Text& a, const Text& b) noexcept { return a.view_ <=> b.view_; }
  friend auto operator<=>(const Text& a, std::string_view b) noexcept { return a.view_ <=> b; }
  friend auto operator<=>(const Text& a, const std::string& b) noexcept { return a.view_ <=> std::string_view(b); }
  friend auto operator<=>(const Text& a, const char* b) noexcept { return a.view_ <=> std::string_view(b); }
  friend std::string operator+(const Text& a, std::string_view b) { return concat(a.view_, b); }
  friend std::string operator+(std::string_view a, const Text& b) { return concat(a, b.view_); }
  friend std::string operator+(const Text& a, const char* b) { return concat(a.view_, b); }
  friend std::string operator+(const char* a, const Text& b) { return concat(a, b.view_); }
  friend std::string operator+(const Text& a, const std::string& b) { return concat(a.view_, b); }
  friend std::string operator+(std::string a, const Text& b) { return std::move(a.append(b.view_)); }
  friend std::string operator+(const Text& a, char b) { return concat(a.view_, std::string_view(&b, 1)); }
  friend std::string operator+(char a, const Text& b) { return concat(std::string_view(&a, 1), b.view_); }
  friend std::string operator+(const Text& a, const Text& b) { return concat(a.view_, b.view_); }
  friend std::ostream& operator<<(std::ostream& os, const Text& t) { return os << t.view_; }

 private:
  bool owns() const noexcept { return view_.data() == owned_.data(); }
  static std::string concat(std::string_view a, std::string_view b) { return joined(a, b); }
  mutable std::string owned_;
  mutable std::string_view view_;
};

// A named fact of an event for tools: null, a number, a flag, a text or a list of texts. Names
// are literals listed with their kind in the simulator's event reference. A text field may
// borrow the recorder's characters (`Borrowed`, for a field that lives no longer than the
// recording of its event); a copied field owns its text, as a copied Text does.
struct Borrowed {
  std::string_view text;
};
struct Field {
  using Value = std::variant<std::monostate, std::int64_t, bool, Text, std::vector<std::string>>;
  Field(std::string_view n, Value v) : name(n), value(std::move(v)) {}
  Field(std::string_view n, Borrowed b) : name(n), value(std::in_place_type<Text>) { std::get<Text>(value).borrow(b.text); }
  std::string_view name;
  Value value;
};
using Fields = std::vector<Field>;

// The fields of an event, borrowed or owned as a Text is: while a listener hears the event they
// may be the recorder's own list (no copy per event); a copy of them always owns its fields.
class FieldList {
 public:
  FieldList() noexcept = default;
  FieldList(Fields f) noexcept : owned_(std::move(f)), view_(owned_) {}  // NOLINT: converts like Fields
  FieldList(std::initializer_list<Field> f) : owned_(f), view_(owned_) {}
  FieldList(const FieldList& o) : owned_(o.view_.begin(), o.view_.end()), view_(owned_) {}
  FieldList(FieldList&& o) noexcept : owned_(o.take()), view_(owned_) {}
  FieldList& operator=(const FieldList& o) {
    if (this != &o) {
      owned_.assign(o.view_.begin(), o.view_.end());
      view_ = owned_;
    }
    return *this;
  }
  FieldList& operator=(FieldList&& o) noexcept {
    if (this != &o) {
      owned_ = o.take();
      view_ = owned_;
    }
    return *this;
  }
  // Refers to `f` until the list is next set: only for the event being recorded.
  void borrow(std::span<const Field> f) noexcept { view_ = f; }

  auto begin() const noexcept { return view_.begin(); }
  auto end() const noexcept { return view_.end(); }
  std::size_t size() const noexcept { return view_.size(); }
  bool empty() const noexcept { return view_.empty(); }
  const Field& operator[](std::size_t i) const { return view_[i]; }

 private:
  // What `this` holds as an owned list, leaving it empty.
  Fields take() {
    Fields out = view_.data() == owned_.data() ? std::move(owned_) : Fields(view_.begin(), view_.end());
    owned_.clear();
    view_ = {};
    return out;
  }
  Fields owned_;
  std::span<const Field> view_;
};

}  // namespace qv::timeline
