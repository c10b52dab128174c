#include "digest/digest.h"

ContentHashes HashBytes(std::string_view bytes) {
  ContentHasher h;
  h.Update(bytes);
  return h.Finish();
}
