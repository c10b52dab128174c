// The names of the folders that case-insensitive look-ups had to read, kept
// for the rest of the process so that a folder of n files is read once, not
// once for every name missing in it (every new file of a run is missing
// until it is written).
//
// Each folder's names are kept with what the folder looked like when they
// were read (device, file number, change times). A look-up compares that
// with the folder as it is now and reads it again when anything else
// changed it; creations and removals made by this process are put into the
// names instead, with the folder's new times. Another disk in the drive is
// another device, so a disk change never finds the old disk's names. Safe
// to use from several threads; at most kMaxNames names are kept in all.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace plat::names {

constexpr std::size_t kMaxNames = 1 << 18;

// The entry of `folder` (a host path; "" is the current folder) whose name
// equals `name` ignoring the case of ASCII letters, the first in byte order
// when several do; "" when none or the folder cannot be read. `now` is the
// folder's stat, taken by the caller just before.
std::string Match(const std::string& folder, const struct stat& now, std::string_view name);

// This process made or removed the entry at host path `path` (a removed
// folder's own kept names go with it).
void Added(const std::string& path);
void Removed(const std::string& path);
// The entry at from was renamed to to (replaced: over an entry there).
void Renamed(const std::string& from, const std::string& to, bool replaced);

// How many names are kept now (for tests).
std::size_t KeptNames();

}  // namespace plat::names
