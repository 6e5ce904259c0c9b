#include "NcdGen_Output.h"

#include <cerrno>
#include <cstring>
#include <exception>

namespace NcdGen {

std::string WriteOutput(const std::string& path, const std::function<void(std::FILE*)>& write) {
  std::FILE* out = path.empty() ? stdout : std::fopen(path.c_str(), "wb");
  if (!out) return "cannot open '" + path + "': " + std::strerror(errno);
  std::string error;
  try {
    write(out);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (std::fflush(out) != 0 && error.empty())
    error = std::string("cannot write: ") + std::strerror(errno);
  if (out != stdout && std::fclose(out) != 0 && error.empty())
    error = std::string("cannot write: ") + std::strerror(errno);
  if (error.empty()) return error;
  if (path.empty()) return error;
  std::remove(path.c_str());
  return path + ": " + error;
}

}  // namespace NcdGen
