// Destination names of the disk set and of the game folder, joined from a
// root folder and a path relative to it, and the test that a name taken
// from a list file stays inside the folders it is joined to.
#pragma once

#include <string>

#include "text/paths.h"

// The disk set name of a packed file: root + relative name, with "_lzs"
// appended to the extension when addSuffix. A root with a name part is the
// destination itself. False when the name is too long.
bool DestinationName(const std::string& root, const std::string& relative, bool addSuffix,
                     std::string& out);

// The name a file of the work folder comes back under from the disk set:
// "_lzs" is appended to its extension and cut off again at the first
// "_LZS" or "_lzs", and a lone dot goes.
std::string ComeBackName(const std::string& relative);

// The game folder name of a listed file: root + relative name with the
// "_lzs" suffix cut off the extension. False when the name is too long.
bool OutputName(const std::string& root, const std::string& relative, std::string& out);

// True when a relative name from a list file may be used: levels joined by
// '\', none of them empty (so nothing absolute and no network prefix), "."
// or ".." (or what Windows trims to one) or a device name; no control
// characters, no ':' (drives, streams), no '/'.
bool IsSafeRelativeName(const std::string& name);
// True when a title may name a folder and a menu entry: one such level.
bool IsSafeTitle(const std::string& title);
