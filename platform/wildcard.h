// The wildcard rules of the directory search, the same on every host: a
// name and a pattern are compared character by character, as code page 932
// characters for names that have that form and as UTF-8 sequences for host
// names that have not. ASCII letters compare without case.
#pragma once

#include <string_view>
#include <vector>

namespace plat::wildcard {

using Chars = std::vector<std::string_view>;

Chars SplitCp932(std::string_view s);
Chars SplitUtf8(std::string_view s);

// '*' matches any run of characters, '?' exactly one; "*.*" is every name, a
// pattern that ends in ".*" also matches the name without any extension
// ("readme.*" finds readme), and one that ends in "." matches only names
// without a dot ("*." finds the names that have no extension).
bool MatchName(Chars pattern, const Chars& name);

bool HasWildcards(std::string_view s);

}  // namespace plat::wildcard
