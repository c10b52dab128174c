#include <sys/types.h>

#include <cstdio>

#include "platform/platform.h"

namespace plat {

bool SeekTo(std::FILE* f, int64_t offset) { return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0; }

}  // namespace plat
