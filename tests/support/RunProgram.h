// Runs one of the build's programs (build/bin) as a child process, its
// output and errors caught in files, for tests of the command-line tools.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace ncdtest {

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
};

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs build/bin/<name> with `args`; its standard output goes to `outPath`
// instead of `out` when one is given (/dev/full: a full disk).
inline RunResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                            const std::string& outPath = "") {
  namespace fs = std::filesystem;
  static std::atomic<int> serial{0};
  const fs::path dir = fs::temp_directory_path() /
                       (name + "_run_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
  fs::create_directories(dir);
  std::string program = std::string(NCD_BIN_DIR) + "/" + name;
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string out = outPath.empty() ? (dir / "out").string() : outPath;
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  RunResult run;
  pid_t pid;
  int wait = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0 &&
      waitpid(pid, &wait, 0) == pid && WIFEXITED(wait))
    run.status = WEXITSTATUS(wait);
  posix_spawn_file_actions_destroy(&actions);
  if (outPath.empty()) run.out = Slurp(dir / "out");
  run.err = Slurp(dir / "err");
  fs::remove_all(dir);
  return run;
}

}  // namespace ncdtest
