// Comparisons the fuzz targets need beyond Value's operator==: NaN reals equal themselves
// (a re-read NaN is the same value), and uids are spotted because archives turn them into numbers.
#pragma once

#include <cmath>

#include "platform/plist/value.h"

namespace qv::fuzz {

inline bool samePlist(const pl::Value& a, const pl::Value& b) {
  if (a.type() != b.type()) return false;
  if (const double* x = a.ifReal()) return (std::isnan(*x) && std::isnan(*b.ifReal())) || *x == *b.ifReal();
  if (const pl::Date* x = a.ifDate())
    return (std::isnan(x->sinceReference) && std::isnan(b.ifDate()->sinceReference)) || *x == *b.ifDate();
  if (const pl::Array* x = a.ifArray()) {
    const pl::Array& y = *b.ifArray();
    if (x->size() != y.size()) return false;
    for (std::size_t i = 0; i < x->size(); ++i)
      if (!samePlist((*x)[i], y[i])) return false;
    return true;
  }
  if (const pl::Dict* x = a.ifDict()) {
    const pl::Dict& y = *b.ifDict();
    if (x->size() != y.size()) return false;
    for (auto i = x->begin(), j = y.begin(); i != x->end(); ++i, ++j)
      if (i->first != j->first || !samePlist(i->second, j->second)) return false;
    return true;
  }
  return a == b;
}

inline bool holdsUid(const pl::Value& v) {
  if (v.ifUid()) return true;
  if (const pl::Array* a = v.ifArray())
    for (const pl::Value& e : *a)
      if (holdsUid(e)) return true;
  if (const pl::Dict* d = v.ifDict())
    for (const auto& [k, e] : *d)
      if (holdsUid(e)) return true;
  return false;
}

}  // namespace qv::fuzz
