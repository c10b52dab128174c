#include "codec/context.h"

#include <cstdlib>
#include <new>
#include <type_traits>

static_assert(std::is_trivially_destructible_v<CodecContext>);

void CodecContextDeleter::operator()(CodecContext* c) const { std::free(c); }

CodecContextPtr NewCodecContext() {
  void* memory = std::calloc(1, sizeof(CodecContext));
  if (!memory) throw std::bad_alloc();
  // Default-initialised on zeroed memory: every member is zero but those
  // with an initialiser.
  return CodecContextPtr(new (memory) CodecContext);
}
