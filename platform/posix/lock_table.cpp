#include "platform/posix/lock_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

namespace fwlaunch::platform {

namespace {

// The executable's path; empty when it cannot be read.
std::string ExecutableOf(const std::string& process) {
  char path[PATH_MAX];
  ssize_t length = readlink(("/proc/" + process + "/exe").c_str(), path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
  return std::string(path, static_cast<std::size_t>(length));
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::set<pid_t> FlockHolders(ino_t inode) {
  std::set<pid_t> holders;
  FILE* table = std::fopen("/proc/locks", "re");
  if (table == nullptr) return holders;
  char line[256];
  while (std::fgets(line, sizeof line, table) != nullptr) {
    char kind[16] = {};
    int pid = 0;
    unsigned major = 0, minor = 0;
    unsigned long long number = 0;
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:123456 0 EOF"; waiters' lines carry "->".
    if (std::sscanf(line, "%*d: %15s %*s %*s %d %x:%x:%llu", kind, &pid, &major, &minor, &number) ==
            5 &&
        std::string(kind) == "FLOCK" && number == inode && pid > 0)
      holders.insert(pid);
  }
  std::fclose(table);
  return holders;
}

pid_t ParentOf(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/stat";
  FILE* stat = std::fopen(path.c_str(), "re");
  if (stat == nullptr) return 0;
  // "pid (name) state ppid ...": the name may hold spaces and parentheses, so read past the
  // last ')'.
  char text[512] = {};
  std::size_t length = std::fread(text, 1, sizeof text - 1, stat);
  std::fclose(stat);
  std::string line(text, length);
  std::size_t close = line.rfind(')');
  int parent = 0;
  if (close == std::string::npos || std::sscanf(line.c_str() + close + 1, " %*c %d", &parent) != 1)
    return 0;
  return parent;
}

bool RunsThisProgram(pid_t pid) {
  std::string own = ExecutableOf("self");
  std::string theirs = ExecutableOf(std::to_string(pid));
  if (own.empty() || theirs.empty()) return false;
  // By the folder's identity, not its spelling: the same folder may be reached by two paths.
  struct stat own_folder, their_folder;
  if (stat(FolderOf(own).c_str(), &own_folder) != 0 ||
      stat(FolderOf(theirs).c_str(), &their_folder) != 0)
    return false;
  std::string name = theirs.substr(FolderOf(theirs).size());
  return own_folder.st_dev == their_folder.st_dev && own_folder.st_ino == their_folder.st_ino &&
         name.rfind("fwlaunch", 0) == 0;
}

}  // namespace fwlaunch::platform
