#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/folder_names.h"
#include "platform/host_paths_linux.h"

namespace plat::names {

namespace {

// Host names are UTF-8, whose bytes of 0x80 and above are never ASCII
// letters, so folding single bytes folds exactly the ASCII letters.
std::string Folded(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return out;
}

struct Stamp {
  dev_t device = 0;
  ino_t number = 0;
  timespec modified{}, changed{};
};

Stamp StampOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_mtim, st.st_ctim}; }

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

struct Folder {
  Stamp stamp;
  // Some folding has been seen with more than one name.
  bool shared = false;
  // Folded name -> the first name in byte order with that folding; empty
  // when that is the folded name itself (the usual case costs one string).
  std::unordered_map<std::string, std::string> byFolded;

  const std::string& NameFor(const std::pair<const std::string, std::string>& e) const {
    return e.second.empty() ? e.first : e.second;
  }
  void Insert(std::string_view name) {
    std::string key = Folded(name);
    auto [it, added] = byFolded.try_emplace(key);
    if (added) {
      if (key != name) it->second.assign(name);
    } else if (name != NameFor(*it)) {
      shared = true;
      if (name < NameFor(*it)) {
        it->second.assign(name);
        if (it->second == it->first) it->second.clear();
      }
    }
  }
};

using host::LastLevel;
using host::ParentOf;

std::string KeyOf(const std::string& folder) { return folder.empty() ? "." : folder; }

class Cache {
 public:
  std::string Match(const std::string& folder, const struct stat& now, std::string_view name) {
    const std::string key = KeyOf(folder);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = folders_.find(key);
    if (it != folders_.end() && !Current(it->second, now)) {
      Forget(it);
      it = folders_.end();
    }
    if (it == folders_.end()) {
      Folder read;
      if (!Read(key, now, read)) return {};
      if (read.byFolded.size() > kMaxNames) return Find(read, name);  // too big to keep
      if (count_ + read.byFolded.size() > kMaxNames) {
        folders_.clear();
        count_ = 0;
      }
      count_ += read.byFolded.size();
      it = folders_.emplace(key, std::move(read)).first;
    }
    return Find(it->second, name);
  }

  void Added(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = folders_.find(ParentOf(path));
    if (it == folders_.end()) return;
    Insert(it->second, LastLevel(path));
    Restamp(it);
  }

  void Removed(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = Drop(path);
    if (it != folders_.end()) Restamp(it);
  }

  // A rename within one folder looks at the folder once.
  void Renamed(const std::string& from, const std::string& to, bool replaced) {
    if (ParentOf(from) != ParentOf(to)) {
      Removed(from);
      if (!replaced) Added(to);
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = Drop(from);
    if (it == folders_.end()) return;
    if (!replaced) Insert(it->second, LastLevel(to));
    Restamp(it);
  }

  std::size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

 private:
  static bool Current(const Folder& f, const struct stat& now) {
    const Stamp s = StampOf(now);
    return s.device == f.stamp.device && s.number == f.stamp.number &&
           SameTime(s.modified, f.stamp.modified) && SameTime(s.changed, f.stamp.changed);
  }

  // After a change made here: the folder as it is now is what the names
  // say (a change made elsewhere in the moment between is not seen).
  void Insert(Folder& f, const std::string& name) {
    const std::size_t before = f.byFolded.size();
    f.Insert(name);
    count_ += f.byFolded.size() - before;
  }

  // Takes the entry at path out of its folder's names: the folder's
  // iterator, or end() when its names are not kept (or were let go).
  std::unordered_map<std::string, Folder>::iterator Drop(const std::string& path) {
    // A removed folder's own names go with it: a new folder in its place
    // may be given the same file number within the same clock tick.
    if (auto own = folders_.find(KeyOf(path)); own != folders_.end()) Forget(own);
    auto it = folders_.find(ParentOf(path));
    if (it == folders_.end()) return it;
    Folder& f = it->second;
    const std::string name = LastLevel(path);
    auto found = f.byFolded.find(Folded(name));
    if (found != f.byFolded.end() && f.NameFor(*found) == name) {
      if (f.shared) {
        // Another name of the same folding may take its place: read the
        // folder again when it is next needed.
        Forget(it);
        return folders_.end();
      }
      f.byFolded.erase(found);
      --count_;
    }
    return it;
  }

  void Restamp(std::unordered_map<std::string, Folder>::iterator it) {
    struct stat now;
    if (stat(it->first.c_str(), &now) == 0)
      it->second.stamp = StampOf(now);
    else
      Forget(it);
  }

  void Forget(std::unordered_map<std::string, Folder>::iterator it) {
    count_ -= it->second.byFolded.size();
    folders_.erase(it);
  }

  static bool Read(const std::string& folder, const struct stat& now, Folder& out) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    out.stamp = StampOf(now);
    while (dirent* d = readdir(dir)) out.Insert(d->d_name);
    closedir(dir);
    return true;
  }

  static std::string Find(const Folder& f, std::string_view name) {
    auto it = f.byFolded.find(Folded(name));
    return it == f.byFolded.end() ? std::string() : f.NameFor(*it);
  }

  std::mutex mutex_;
  std::unordered_map<std::string, Folder> folders_;
  std::size_t count_ = 0;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

}  // namespace

std::string Match(const std::string& folder, const struct stat& now, std::string_view name) {
  return TheCache().Match(folder, now, name);
}
void Added(const std::string& path) { TheCache().Added(path); }
void Removed(const std::string& path) { TheCache().Removed(path); }
void Renamed(const std::string& from, const std::string& to, bool replaced) {
  TheCache().Renamed(from, to, replaced);
}
std::size_t KeptNames() { return TheCache().Count(); }

}  // namespace plat::names
