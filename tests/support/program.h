// The real program as a separate process, driven the way a script or a user
// at a terminal drives it: standard input written line by line while it
// runs, its standard output watched for what it shows, signals sent to it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class Program {
 public:
  // Starts `program` with args in cwd; env entries ("NAME=value") are added
  // to (or replace) the test's own environment. asUser: run with the user
  // and group ID 65534 (nobody), for what root may do and a user may not.
  Program(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
          const std::vector<std::string>& env, bool asUser = false);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Waits until standard output holds `text` `count` times in all; false
  // after `seconds` or when the program ended without it.
  bool WaitFor(const std::string& text, int count = 1, double seconds = 30);
  void Send(const std::string& input);
  void CloseInput();
  void Signal(int sig);
  // Closes standard input, waits for the end; the exit status, or 128 +
  // the signal that ended it, or -1.
  int Finish(double seconds = 120);

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  void Drain(int timeoutMs);
  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  int status_ = -1;
  bool ended_ = false;
};

// Runs the program to its end with the whole input given at once.
struct Outcome {
  int status = -1;
  std::string out, err;
};
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& cwd, const std::vector<std::string>& env,
                   const std::string& input = "", bool asUser = false);
