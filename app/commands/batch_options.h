// The options of the batch commands, taken apart once for all of them, and
// the few ways every command talks: a complaint, a usage error, the summary
// line, JSON strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class Overwrite { kNever, kAlways, kAsk };

struct BatchOptions {
  std::string command;                // the command word: "--list", "--make", ...
  std::vector<std::string> operands;  // the SETs, or the work folder of --make
  std::string to, title, volumeSize, imageFormat;
  bool toGiven = false, titleGiven = false, images = false, json = false, quiet = false,
       menuEntry = false, dryRun = false, salvage = false, hashes = false;
  Overwrite overwrite = Overwrite::kNever;
  int jobs = 1;
};

// Options in any order; a lone "--" ends them. commandWords: the words that
// name a command. False with the reason in error.
bool ParseBatchOptions(int argc, char** argv, const std::vector<std::string>& commandWords,
                       BatchOptions& o, std::string& error);

// "kelvod: text" on standard error.
void Complain(const std::string& text);
// A usage error: the complaint with a pointer to --help; returns status 1.
int Usage(const std::string& text);
// The line that ends every command (unless quiet).
void Summary(const BatchOptions& o, uint64_t files, uint64_t bytes, uint64_t disks,
             uint64_t warnings, uint64_t errors);
// A JSON string of a UTF-8 text.
std::string JsonString(std::string_view utf8);
// The JSON fields of a name (code page 932) under key: "key":"text", its
// text exactly; when a byte has no UTF-8 form, also "keyBytes":"8341..."
// with its code page 932 bytes in hexadecimal. Names that differ stay apart.
std::string JsonNameFields(const std::string& key, const std::string& cp932Name);
