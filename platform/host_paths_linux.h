// Parts of a host path ('/' separators), for the Linux platform files.
#pragma once

#include <string>

namespace plat::host {

// The folder that holds path: "." for a bare name, "/" for a root level.
std::string ParentOf(const std::string& path);
// The last level of path, trailing '/' left out.
std::string LastLevel(const std::string& path);

}  // namespace plat::host
