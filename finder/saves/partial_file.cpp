#include "finder/saves/partial_file.h"

#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

namespace {

constexpr int kMostNameTries = 1000;
constexpr size_t kLongestName = 255;
// A partial name is cut to this many bytes of its place's name, so that with its suffix it
// is no longer than a file name may be.
constexpr size_t kLongestPartialStem = 200;

// The partial files open now, for a signal that ends the process to take away. A signal
// handler can reach nothing else, so this is a table of fixed slots it only reads.
constexpr size_t kSlots = 64;
constexpr size_t kLongestPath = 4096;
struct Slot {
  std::atomic<bool> used{false};
  char path[kLongestPath];
};
Slot g_partials[kSlots];

void RemovePartials(int signal) {
  for (Slot& slot : g_partials) {
    if (slot.used.load()) unlink(slot.path);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Once: termination and interruption take the partial files away; a file larger than the
// process may write fails that write ("File too large") instead of ending the process.
void InstallCleanup() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = RemovePartials;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)installed;
}

int Register(const std::string& path) {
  if (path.size() >= kLongestPath) return -1;
  for (size_t i = 0; i < kSlots; ++i) {
    Slot& slot = g_partials[i];
    if (slot.used.load()) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used.store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) g_partials[slot].used.store(false);
  slot = -1;
}

// Whether the path is there and is a pipe, a device or a socket (a link is followed): what
// a rename would replace by a plain file.
bool IsSpecial(const std::string& path) {
  struct stat facts {};
  return stat(path.c_str(), &facts) == 0 && !S_ISREG(facts.st_mode) && !S_ISDIR(facts.st_mode);
}

// "name.ext", then "name (2).ext", "name (3).ext", ..., the stem cut where the number would
// make the name too long.
std::string Numbered(const std::string& name, int n) {
  if (n == 1) return name;
  const size_t dot = name.rfind('.');
  const size_t stem = dot == std::string::npos || dot == 0 ? name.size() : dot;
  const std::string number = " (" + std::to_string(n) + ")";
  size_t keep = stem;
  while (keep > 0 && (name.size() - stem + keep + number.size() > kLongestName ||
                      (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)) {
    --keep;
  }
  return name.substr(0, keep) + number + name.substr(stem);
}

}  // namespace

std::string PartialPath(const std::string& path) {
  const size_t slash = path.rfind('/') + 1;
  std::string name = path.substr(slash);
  if (name.size() > kLongestPartialStem) {
    size_t keep = kLongestPartialStem;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
  }
  return path.substr(0, slash) + name + ".part-" + std::to_string(getpid());
}

bool PartialFile::Open(const std::string& beside) {
  Discard();
  InstallCleanup();
  const std::string path = PartialPath(beside);
  m_file = std::fopen(path.c_str(), "wbx");
  if (!m_file) return false;
  m_path = path;
  m_slot = Register(path);
  return true;
}

bool PartialFile::OpenOutput(const std::string& path) {
  if (!IsSpecial(path)) return Open(path);
  Discard();
  m_file = std::fopen(path.c_str(), "wb");
  if (!m_file) return false;
  m_path = path;
  m_direct = true;
  return true;
}

bool PartialFile::Write(std::string_view bytes) {
  if (!m_file) {
    errno = EBADF;
    return false;
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
}

int64_t PartialFile::Position() {
  if (!m_file) {
    errno = EBADF;
    return -1;
  }
  return ftello(m_file);
}

bool PartialFile::Seek(int64_t at) {
  if (!m_file) {
    errno = EBADF;
    return false;
  }
  return fseeko(m_file, at, SEEK_SET) == 0;
}

bool PartialFile::Truncate(int64_t size) {
  return Flush() && ftruncate(fileno(m_file), size) == 0 && Seek(size);
}

bool PartialFile::Flush() {
  if (!m_file) {
    errno = EBADF;
    return false;
  }
  return std::fflush(m_file) == 0;
}

bool PartialFile::Close() {
  FILE* file = std::exchange(m_file, nullptr);
  if (!file) {
    errno = EBADF;
    return false;
  }
  // A pipe or a device has nothing to sync to disk.
  const bool written = std::fflush(file) == 0 && (m_direct || fsync(fileno(file)) == 0);
  const int failure = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) errno = failure;
  return written && closed;
}

bool PartialFile::MoveTo(const std::string& path) {
  if (m_direct) {
    const bool closed = Close();
    m_path.clear();
    m_direct = false;
    return closed;
  }
  if (IsSpecial(path)) {
    Discard();
    errno = EEXIST;
    return false;
  }
  if (!Close() || std::rename(m_path.c_str(), path.c_str()) != 0) {
    const int failure = errno;
    Discard();
    errno = failure;
    return false;
  }
  m_path.clear();
  Unregister(m_slot);
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
  // The name is one path component: the file stays in the folder.
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    Discard();
    errno = EINVAL;
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
  const bool direct = std::exchange(m_direct, false);
  if (!m_path.empty() && !direct) std::remove(m_path.c_str());
  m_path.clear();
  Unregister(m_slot);
}
