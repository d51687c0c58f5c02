#include "platform/plist/internal/identical.h"

#include <cstring>

namespace qv::pl::internal {
namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

bool identical(const Dict& a, const Dict& b) {
  if (&a == &b) return true;
  if (a.size() != b.size()) return false;
  for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
    if (i->first != j->first || !identical(i->second, j->second)) return false;
  return true;
}

bool identical(const Value& a, const Value& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Value::Type::Real: return sameBits(*a.ifReal(), *b.ifReal());
    case Value::Type::Date: return sameBits(a.ifDate()->sinceReference, b.ifDate()->sinceReference);
    case Value::Type::Array: {
      const Array& x = *a.ifArray();
      const Array& y = *b.ifArray();
      if (&x == &y) return true;
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i)
        if (!identical(x[i], y[i])) return false;
      return true;
    }
    case Value::Type::Dict: return identical(*a.ifDict(), *b.ifDict());
    default: return a == b;  // the rest compare exactly, unsignedness included
  }
}

}  // namespace qv::pl::internal
