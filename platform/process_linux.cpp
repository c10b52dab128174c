#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/process.h"

extern char** environ;

namespace plat {

bool ToolAvailable(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

namespace {

// An entry "NAME=value" named by one of the names, or by a prefix ending
// in '*'.
bool Named(std::string_view entry, const std::vector<std::string>& names) {
  const std::string_view name = entry.substr(0, entry.find('='));
  for (const std::string& n : names) {
    std::string_view want = std::string_view(n).substr(0, n.find('='));
    if (!want.empty() && want.back() == '*') {
      want.remove_suffix(1);
      if (name.substr(0, want.size()) == want) return true;
    } else if (name == want) {
      return true;
    }
  }
  return false;
}

}  // namespace

int RunTool(const std::vector<std::string>& argv, std::string* output, const ToolSetup& setup) {
  if (argv.empty()) return -1;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  // The folder is taken as it is: no shell ever sees it.
  if (!setup.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, setup.folder.c_str());
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    if (!Named(*e, setup.env) && !Named(*e, setup.unset)) environment.emplace_back(*e);
  }
  environment.insert(environment.end(), setup.env.begin(), setup.env.end());
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return -1;
  }
  char buf[4096];
  std::size_t said = 0;
  bool stopped = false;
  for (;;) {
    ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n > 0) {
      said += static_cast<std::size_t>(n);
      if (setup.outputLimit && said > setup.outputLimit) {
        // A damaged image can make a listing endless.
        kill(pid, SIGKILL);
        stopped = true;
        break;
      }
      if (output) output->append(buf, static_cast<std::size_t>(n));
    }
    if (n == 0 || (n < 0 && errno != EINTR)) break;
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  if (stopped) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace plat
