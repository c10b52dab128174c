#include "app/commands/batch_options.h"

#include <algorithm>
#include <cstdio>

#include "app/jobs.h"
#include "text/cp932.h"

namespace {

// "--name VALUE" or "--name=VALUE": true when arg is the option (error set
// when its value is missing).
bool Value(int argc, char** argv, int& i, std::string_view arg, std::string_view name,
           std::string& out, std::string& error) {
  if (arg == name) {
    if (i + 1 >= argc) {
      error = std::string(name) + " needs a value";
      return true;
    }
    out = argv[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    out = std::string(arg.substr(name.size() + 1));
    return true;
  }
  return false;
}

struct Flag {
  const char* word;
  bool BatchOptions::*member;
};
constexpr Flag kFlags[] = {
    {"--images", &BatchOptions::images},        {"--json", &BatchOptions::json},
    {"--quiet", &BatchOptions::quiet},          {"-q", &BatchOptions::quiet},
    {"--menu-entry", &BatchOptions::menuEntry}, {"--dry-run", &BatchOptions::dryRun},
    {"--salvage", &BatchOptions::salvage},      {"--hashes", &BatchOptions::hashes},
};

// One option at argv[i]; false when it is none.
bool TakeOption(int argc, char** argv, int& i, BatchOptions& o, std::string& error) {
  const std::string_view arg = argv[i];
  std::string text;
  if (Value(argc, argv, i, arg, "--to", o.to, error)) {
    o.toGiven = true;
  } else if (Value(argc, argv, i, arg, "--title", o.title, error)) {
    o.titleGiven = true;
  } else if (Value(argc, argv, i, arg, "--volume-size", o.volumeSize, error) ||
             Value(argc, argv, i, arg, "--image-format", o.imageFormat, error)) {
  } else if (Value(argc, argv, i, arg, "--jobs", text, error)) {
    o.jobs = JobsValue(text.c_str());
    if (o.jobs == 0 && error.empty()) error = "--jobs needs a number from 1 to 64";
  } else if (Value(argc, argv, i, arg, "--overwrite", text, error)) {
    if (text == "never")
      o.overwrite = Overwrite::kNever;
    else if (text == "always")
      o.overwrite = Overwrite::kAlways;
    else if (text == "ask")
      o.overwrite = Overwrite::kAsk;
    else if (error.empty())
      error = "--overwrite takes ask, always or never";
  } else {
    for (const Flag& f : kFlags) {
      if (arg != f.word) continue;
      o.*f.member = true;
      return true;
    }
    return false;
  }
  return true;
}

}  // namespace

bool ParseBatchOptions(int argc, char** argv, const std::vector<std::string>& commandWords,
                       BatchOptions& o, std::string& error) {
  o.jobs = DefaultJobs();
  bool options = true;
  for (int i = 1; i < argc && error.empty(); ++i) {
    const std::string arg = argv[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      o.operands.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (std::find(commandWords.begin(), commandWords.end(), arg) != commandWords.end()) {
      if (!o.command.empty() && o.command != arg) error = "give one command at a time";
      o.command = arg;
    } else if (!TakeOption(argc, argv, i, o, error)) {
      error = "unknown option " + cp932::ShownHostLine(arg);
    }
  }
  return error.empty();
}

void Complain(const std::string& text) { std::fprintf(stderr, "kelvod: %s\n", text.c_str()); }

int Usage(const std::string& text) {
  Complain(text + " (kelvod --help lists the commands)");
  return 1;
}

void Summary(const BatchOptions& o, uint64_t files, uint64_t bytes, uint64_t disks,
             uint64_t warnings, uint64_t errors) {
  if (o.quiet) return;
  std::printf("kelvod: %llu files, %llu bytes, %llu disks, %llu warnings, %llu errors\n",
              static_cast<unsigned long long>(files), static_cast<unsigned long long>(bytes),
              static_cast<unsigned long long>(disks), static_cast<unsigned long long>(warnings),
              static_cast<unsigned long long>(errors));
  std::fflush(stdout);
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonNameFields(const std::string& key, const std::string& cp932Name) {
  // Levels joined by '/', as paths are written in JSON elsewhere.
  std::string slashed = cp932Name;
  for (std::size_t i = 0; i < slashed.size(); i = cp932::Next(slashed, i))
    if (slashed[i] == '\\' && cp932::Next(slashed, i) == i + 1) slashed[i] = '/';
  std::string utf8;
  if (cp932::ToUtf8(slashed, utf8)) return JsonString(key) + ":" + JsonString(utf8);
  // Bytes without a character: a readable form and the exact bytes.
  std::string hex;
  for (unsigned char c : cp932Name) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", c);
    hex += two;
  }
  return JsonString(key) + ":" + JsonString(cp932::ShownLine(cp932Name)) + "," +
         JsonString(key + "Bytes") + ":\"" + hex + "\"";
}
