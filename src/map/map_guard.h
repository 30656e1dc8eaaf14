// The document's operations pass an unexpected run-time failure up to their caller with
// "clsMap.<operation>/" in front of its source.
#pragma once

#include "support/errors.h"

namespace picmap {

template <class F>
auto GuardedMapOperation(const char16_t* operation, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    RaiseError(err::kClassDefault, u"clsMap", operation);
  }
}

}  // namespace picmap
