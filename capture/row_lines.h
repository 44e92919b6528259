#pragma once

// The rows of a run as JSON lines: each row once, when its request has ended (or, still
// open, when its page's capture ends), with the address of its page. Each line is flushed
// as it goes, so a reader at the other end of a pipe has it at once.

#include "capture/capture_options.h"
#include "finder/finder_state.h"
#include "finder/saves/partial_file.h"

#include <cstdio>
#include <set>
#include <string>

class CRowLines : public RowWatcher {
 public:
  CRowLines(const FinderState& state, const CaptureOptions& options)
      : m_state(state), m_options(options) {}

  // To standard output for "-", else to a file made whole at Close. False with the reason
  // when the file cannot be made.
  bool Open(const std::string& path, std::string& error);
  void RowChanged(const RequestRecord& record) override;
  // Writes the search's rows that have not gone yet, as they are now.
  void WriteRest(int search);
  // Moves the file into place. False with the reason when a line or the file failed.
  bool Close(std::string& error);
  // A line could not be written: the reader went away (a closed pipe), or the disk is full.
  bool Failed() const { return m_failure != 0; }
  bool ReaderGone() const;

 private:
  void Write(const RequestRecord& record);

  const FinderState& m_state;
  const CaptureOptions& m_options;
  bool m_toOutput = false;
  std::string m_path;
  PartialFile m_file;
  std::set<uint32_t> m_written;
  int m_failure = 0;  // the errno of the first failed write
};
