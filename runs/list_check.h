// The checks a list file's text must pass before an extract run follows
// it: every file line it holds is reached by the walk of its disk sections,
// and every name it would put into a path stays inside the game folder.
#pragma once

#include <string>
#include <string_view>

struct ListCheck {
  enum Problem {
    kNone,
    kZeroByte,   // a NUL byte: the text would end there for every reader
    kTitle,      // the title cannot name a folder and a menu entry
    kName,       // a listed name would reach outside the game folder
    kUnreached,  // a file line no disk section reaches (count, disk lines)
  } problem = kNone;
  // The offending title, name or line, for the message.
  std::string offending;
  explicit operator bool() const { return problem == kNone; }
};

// text: the list as text-mode reading delivers it (LF line ends).
ListCheck CheckList(std::string_view text);
