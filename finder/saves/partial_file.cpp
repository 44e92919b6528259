#include "finder/saves/partial_file.h"

#include <unistd.h>
#include <cerrno>
#include <utility>

namespace {

constexpr int kMostNameTries = 1000;

// "name.ext", then "name (2).ext", "name (3).ext", ...
std::string Numbered(const std::string& name, int n) {
  if (n == 1) return name;
  const size_t dot = name.rfind('.');
  const size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, stem) + " (" + std::to_string(n) + ")" + name.substr(stem);
}

}  // namespace

std::string PartialPath(const std::string& path) {
  return path + ".part-" + std::to_string(getpid());
}

bool PartialFile::Open(const std::string& beside) {
  Discard();
  const std::string path = PartialPath(beside);
  m_file = std::fopen(path.c_str(), "wbx");
  if (m_file) m_path = path;
  return m_file != nullptr;
}

bool PartialFile::Write(std::string_view bytes) {
  if (!m_file) {
    errno = EBADF;
    return false;
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

bool PartialFile::Close() {
  FILE* file = std::exchange(m_file, nullptr);
  if (!file) {
    errno = EBADF;
    return false;
  }
  const bool written = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  const int failure = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) errno = failure;
  return written && closed;
}

bool PartialFile::MoveTo(const std::string& path) {
  if (!Close() || std::rename(m_path.c_str(), path.c_str()) != 0) {
    const int failure = errno;
    Discard();
    errno = failure;
    return false;
  }
  m_path.clear();
  return true;
}

bool PartialFile::PlaceInFolder(const std::string& folder, const std::string& name,
                                std::string& placed) {
  if (!Close()) {
    const int failure = errno;
    Discard();
    errno = failure;
    return false;
  }
  for (int n = 1; n <= kMostNameTries; ++n) {
    placed = folder + "/" + Numbered(name, n);
    if (link(m_path.c_str(), placed.c_str()) == 0) {
      Discard();
      return true;
    }
    if (errno != EEXIST) break;
  }
  const int failure = errno;
  Discard();
  errno = failure;
  return false;
}

void PartialFile::Discard() {
  if (m_file) std::fclose(std::exchange(m_file, nullptr));
  if (!m_path.empty()) std::remove(m_path.c_str());
  m_path.clear();
}
