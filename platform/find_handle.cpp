#include "platform/find_handle.h"

#include <algorithm>
#include <cerrno>

namespace plat {

namespace {

bool EntryBefore(const FindEntry& a, const FindEntry& b) {
  auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
  int ra = rank(a.hostName), rb = rank(b.hostName);
  if (ra != rb) return ra < rb;
  return a.hostName < b.hostName;
}

}  // namespace

FindHandle* FirstFound(std::unique_ptr<FindHandle> handle, FindEntry& entry, FindResult& result) {
  if (handle->entries.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  std::sort(handle->entries.begin(), handle->entries.end(), EntryBefore);
  result = FindResult::kFound;
  entry = handle->entries[0];
  handle->next = 1;
  return handle.release();
}

bool FindNext(FindHandle* h, FindEntry& entry) {
  if (!h || h->next >= h->entries.size()) return false;
  entry = h->entries[h->next++];
  return true;
}

void FindClose(FindHandle* h) { delete h; }

}  // namespace plat
