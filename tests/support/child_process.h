// Runs work in a child process and reports how it ended: exit status, time,
// peak memory (resident set) and what it wrote.  The hostile-input tests use
// it to show that damaged tables and absurd filters end quickly, in bounded
// memory, with an answer or one clear error; a crash or a hang there must
// fail the test, not take the test program down.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace tabdump::testing {

struct ChildResult {
  int exit_status = -1;  // -1 when the child did not exit by itself
  int signal = 0;        // the signal that ended it, if any
  bool timed_out = false;
  double seconds = 0;
  long peak_rss_kb = 0;
  std::string output;  // standard output (for RunInChild: what the work returned)
};

namespace child_process_detail {

// Reads the child's output until it closes the pipe or the time is up, then
// collects it (killing it first when it overran).
inline ChildResult Collect(pid_t pid, int output_fd, double timeout_seconds) {
  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
  char buffer[4096];
  for (;;) {
    const double left = timeout_seconds - elapsed();
    if (left <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd p{output_fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left * 1000) + 1);
    if (ready < 0) continue;
    if (ready == 0) continue;
    const ssize_t n = read(output_fd, buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(output_fd);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
  }
  result.seconds = elapsed();
  result.peak_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace child_process_detail

// Runs a program with these arguments (argv[0] is its path) and the extra
// environment assignments ("NAME=value"); standard error goes to the file
// `error_path`, or nowhere when that is empty.
inline ChildResult RunProgram(const std::vector<std::string>& argv, double timeout_seconds,
                              const std::vector<std::string>& environment = {},
                              const std::string& error_path = {}) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], STDOUT_FILENO);
    const int error_fd = error_path.empty() ? open("/dev/null", O_WRONLY)
                                            : open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (error_fd >= 0) dup2(error_fd, STDERR_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    for (const std::string& assignment : environment) putenv(const_cast<char*>(assignment.c_str()));
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  return child_process_detail::Collect(pid, pipe_fds[0], timeout_seconds);
}

// Runs `work` in a forked copy of this process; the text it returns comes
// back as `output`.  The peak memory includes what the copy shares with this
// process, so compare it with a run of work that does nothing.
inline ChildResult RunInChild(const std::function<std::string()>& work, double timeout_seconds) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    const std::string text = work();
    std::size_t written = 0;
    while (written < text.size()) {
      const ssize_t n = write(pipe_fds[1], text.data() + written, text.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  close(pipe_fds[1]);
  return child_process_detail::Collect(pid, pipe_fds[0], timeout_seconds);
}

}  // namespace tabdump::testing
