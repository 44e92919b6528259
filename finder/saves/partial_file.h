#pragma once

// A file written beside its place under a temporary name (NAME.part-PID) and moved into its
// place only when whole; removed when it is not, also when a signal ends the process. The
// finder's only POSIX file calls are here. Files are made without the executable bit.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class PartialFile {
 public:
  PartialFile() = default;
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;
  // A file still partial is removed.
  ~PartialFile() { Discard(); }

  // Creates the partial file beside the path, never over an existing one. False (errno set)
  // when it cannot be made.
  bool Open(const std::string& beside);
  // An output the user named: a pipe, a terminal or a device (/dev/null, /dev/stdout) is
  // written straight into, since it cannot be replaced and a reader may wait on it; any
  // other path gets a partial file beside it, as Open gives.
  bool OpenOutput(const std::string& path);
  bool IsOpen() const { return m_file != nullptr; }
  // False (errno set) when the bytes could not all be written.
  bool Write(std::string_view bytes);
  // Where the next bytes go; -1 (errno set) when it is not open.
  int64_t Position();
  // Writes from `at` on (a container's header written last); false (errno set) when it
  // cannot.
  bool Seek(int64_t at);
  // Cuts it to its first `size` bytes and writes on from there (a part fetched again).
  bool Truncate(int64_t size);
  // Hands what is written to the file, for a reader of its path.
  bool Flush();
  const std::string& Path() const { return m_path; }
  // Writes it to disk and renames it to the path, replacing the file the path held (the
  // dialog asked), never a pipe, a device or a socket (EEXIST). False (errno set) when it
  // fails; the partial file is then removed. An output written straight into is closed.
  bool MoveTo(const std::string& path);
  // Writes it to disk and links it into the folder under the name, or "name (2).ext" and so
  // on when that is taken: a file there is never replaced. The path it got in `placed`.
  bool PlaceInFolder(const std::string& folder, const std::string& name, std::string& placed);
  // Closes and removes it.
  void Discard();

 private:
  bool Close();

  FILE* m_file = nullptr;
  std::string m_path;
  int m_slot = -1;        // where a signal that ends the process finds it
  bool m_direct = false;  // written straight into its place (OpenOutput): never removed
};

// The name a file has beside its place until it is whole: its place's name (cut short when
// long) with ".part-PID".
std::string PartialPath(const std::string& path);
