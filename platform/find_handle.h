// The directory search's handle, the same on every host: the entries found,
// in walk order, handed out one by one.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace plat {

struct FindHandle {
  std::vector<FindEntry> entries;
  std::size_t next = 0;
};

// Puts the entries in walk order ("." and "..", then the host names byte by
// byte, so that a walk does not depend on the order of the directory) and
// the first into entry. nullptr (errno ENOENT) when nothing was found.
FindHandle* FirstFound(std::unique_ptr<FindHandle> handle, FindEntry& entry, FindResult& result);

}  // namespace plat
