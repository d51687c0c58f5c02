// A first-in first-out ring that keeps its room, for what passes through the virtual scheduler at
// every event (a queue's work, the keys of pending events): a std::deque would allocate and free a
// block every few items.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace qv::dispatch {

template <class T>
class Ring {
 public:
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  T& front() { return items_[head_]; }
  const T& front() const { return items_[head_]; }
  const T& back() const { return items_[at(count_ - 1)]; }
  void push_back(T item) { push_back() = std::move(item); }
  // Adds an item at the back and returns it to be filled in place: it is what was left in that
  // room (a new or moved-from item).
  T& push_back() {
    if (count_ == items_.size()) grow();
    return items_[at(count_++)];
  }
  // The front item's room keeps what was left in it (moved-from after a move) for reuse.
  void pop_front() {
    head_ = at(1);
    --count_;
  }
  template <class F>
  void forEach(F&& f) const {
    for (std::size_t i = 0; i < count_; ++i) f(items_[at(i)]);
  }
  // Drops every item now (what they hold is released at once).
  void clear() {
    for (std::size_t i = 0; i < count_; ++i) items_[at(i)] = T{};
    head_ = count_ = 0;
  }

 private:
  std::size_t at(std::size_t i) const { return (head_ + i) & (items_.size() - 1); }
  void grow() {
    std::vector<T> bigger(std::max<std::size_t>(8, items_.size() * 2));
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = std::move(items_[at(i)]);
    items_ = std::move(bigger);
    head_ = 0;
  }
  std::vector<T> items_;  // a power of two long
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace qv::dispatch
