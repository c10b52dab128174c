// mtools, run so that nothing from outside can steer it: in a private
// temporary folder that is its working folder, with names of our own
// making only (an image is reached through a link there), and with an
// environment and configuration of ours. mtools hands a -i name holding
// '$', '`' or a wildcard to a shell and takes "*?[" in "::" paths as
// wildcards; local names and its working folder it takes literally.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace disks {

// True when mformat, mcopy and mdir are there; else the message to give.
bool ImageToolsAvailable(std::string& error);

// A private temporary folder for one image, removed with the object,
// holding the tools' configuration files.
class ToolFolder {
 public:
  // How the tools take the bytes of short names.
  enum class CodePage {
    // Their own (850): one character a byte, so a listing's columns hold;
    // names that are not plain ASCII get long names when written.
    kOwn,
    // 932, to name the short names of Japanese disks to them. mtools 4.0
    // writes such names wrongly (cut, double-byte characters broken) and
    // shows the first one it converts with its last character as '_'; its
    // look-up of them is sound.
    k932,
  };
  ToolFolder() = default;
  ~ToolFolder();
  ToolFolder(const ToolFolder&) = delete;
  ToolFolder& operator=(const ToolFolder&) = delete;

  // Makes the folder inside parent (inner form, ending in '\').
  bool Make(const std::string& parent, const char* prefix);
  const std::string& Inner() const { return inner_; }  // ending in '\'
  // Runs a tool there; its exit status (-1: not started, killed or said
  // more than outputLimit bytes), everything it said in output.
  int Run(const std::vector<std::string>& argv, std::string& output,
          CodePage codePage = CodePage::kOwn, std::size_t outputLimit = 1 << 20) const;

 private:
  std::string inner_, host_;
};

// Why one level of a name (code page 932) cannot be on a FAT volume; ""
// when it can. Always: empty, "." or "..", a control character or one of
// \ / : * ? " < > |. When writing also: a device name (CON, AUX, COM1, ...),
// a last character '.' or ' ' (dropped by the tools), more than 255
// characters.
std::string FatNameFault(std::string_view level, bool writing);

// A name (code page 932) with its single-byte letters in upper case: the
// key under which a FAT volume, or Windows, takes two names for one.
std::string FoldCase(std::string_view name);

// A path (inner form) made absolute against the current folder: the tools
// run elsewhere, and links must lead to the same place from there.
std::string AbsolutePath(const std::string& inner);

// What a tool said, as one line for a message: its line breaks flattened,
// its own name and the "Cannot initialize" echo left out, and made
// printable.
std::string ToolReason(const std::string& output);

}  // namespace disks
