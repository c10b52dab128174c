#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "support/program.h"

extern char** environ;

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Program::Program(const std::string& program, const std::vector<std::string>& args,
                 const std::string& cwd, const std::vector<std::string>& env, bool asUser) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const std::string& e : env) {
      std::size_t eq = e.find('=');
      setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    if (asUser && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(125);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
  signal(SIGPIPE, SIG_IGN);  // a program that ended early must not end the test
}

Program::~Program() {
  if (!ended_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    Finish(5);
  }
  for (int fd : {in_, outFd_, errFd_})
    if (fd >= 0) close(fd);
}

void Program::Drain(int timeoutMs) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buf[4096];
  for (int i = 0; i < 2; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
    ssize_t n = read(fds[i].fd, buf, sizeof buf);
    if (n > 0) (i == 0 ? out_ : err_).append(buf, static_cast<std::size_t>(n));
    if (n == 0) {
      close(fds[i].fd);
      (i == 0 ? outFd_ : errFd_) = -1;
    }
  }
}

bool Program::WaitFor(const std::string& text, int count, double seconds) {
  const double end = Now() + seconds;
  for (;;) {
    int found = 0;
    for (std::size_t at = out_.find(text); at != std::string::npos; at = out_.find(text, at + 1))
      ++found;
    if (found >= count) return true;
    if (Now() > end || (outFd_ < 0 && errFd_ < 0)) return false;
    Drain(50);
  }
}

void Program::Send(const std::string& input) {
  for (std::size_t done = 0; in_ >= 0 && done < input.size();) {
    ssize_t n = write(in_, input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

void Program::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

void Program::Signal(int sig) {
  if (pid_ > 0 && !ended_) kill(pid_, sig);
}

int Program::Finish(double seconds) {
  CloseInput();
  const double end = Now() + seconds;
  while (!ended_) {
    Drain(20);
    int raw;
    pid_t r = waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
      ended_ = true;
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    } else if (Now() > end) {
      kill(pid_, SIGKILL);
    }
  }
  while (outFd_ >= 0 || errFd_ >= 0) Drain(100);
  return status_;
}

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& cwd, const std::vector<std::string>& env,
                   const std::string& input, bool asUser) {
  Program p(program, args, cwd, env, asUser);
  p.Send(input);
  Outcome o;
  o.status = p.Finish();
  o.out = p.out();
  o.err = p.err();
  return o;
}
