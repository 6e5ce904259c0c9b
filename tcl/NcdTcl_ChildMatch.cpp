#include "NcdTcl_ChildMatch.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "NcdTcl_Error.h"
#include "NcdTcl_Interrupt.h"

namespace NcdTcl {

namespace {

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size) {
    const ssize_t got = read(fd, bytes, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size) {
    const ssize_t put = send(fd, bytes, size, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// The child: subjects in (a length, then the bytes), one byte out for each.
[[noreturn]] void Serve(int fd, Tcl_RegExp program) {
  signal(SIGINT, SIG_IGN);  // the parent decides: Ctrl-C reaches it too, and it ends the child
  std::string subject;
  std::uint32_t length = 0;
  while (ReadAll(fd, &length, sizeof length)) {
    subject.resize(length);
    if (!ReadAll(fd, subject.data(), length)) break;
    const char answer = Tcl_RegExpExec(nullptr, program, subject.c_str(), subject.c_str()) == 1;
    if (!WriteAll(fd, &answer, 1)) break;
  }
  _exit(0);
}

}  // namespace

bool HasBackReference(std::string_view expression) {
  for (std::size_t i = 0; i + 1 < expression.size(); ++i) {
    if (expression[i] != '\\') continue;
    if (expression[i + 1] >= '1' && expression[i + 1] <= '9') return true;
    ++i;  // the escaped character
  }
  return false;
}

ChildMatcher::ChildMatcher(Tcl_RegExp program) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
    throw Error(ErrorClass::Internal, "cannot match the regular expression: no socket");
  m_child = fork();
  if (m_child == 0) {
    close(pair[0]);
    Serve(pair[1], program);
  }
  close(pair[1]);
  m_socket = pair[0];
  if (m_child < 0) {
    close(m_socket);
    throw Error(ErrorClass::Internal, "cannot match the regular expression: no process");
  }
}

ChildMatcher::~ChildMatcher() {
  close(m_socket);  // a child between subjects ends at once
  kill(m_child, SIGKILL);
  while (waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool ChildMatcher::Matches(std::string_view subject) {
  const auto length = static_cast<std::uint32_t>(subject.size());
  if (!WriteAll(m_socket, &length, sizeof length) ||
      !WriteAll(m_socket, subject.data(), subject.size()))
    throw Error(ErrorClass::Internal, "the regular expression's matcher has gone");
  pollfd ready{m_socket, POLLIN, 0};
  while (poll(&ready, 1, kWaitMs) <= 0)
    CheckStop();  // the destructor ends the child
  char answer = 0;
  if (!ReadAll(m_socket, &answer, 1))
    throw Error(ErrorClass::Internal, "the regular expression's matcher has gone");
  return answer != 0;
}

}  // namespace NcdTcl
