#include "capture/row_lines.h"

#include "bridge/json_text.h"
#include "finder/records/record_json.h"

#include <cerrno>
#include <cstring>

bool CRowLines::Open(const std::string& path, std::string& error) {
  m_toOutput = path == "-";
  m_path = path;
  if (m_toOutput || m_file.OpenOutput(path)) return true;
  error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

void CRowLines::RowChanged(const RequestRecord& record) {
  if (record.finished) Write(record);
}

void CRowLines::WriteRest(int search) {
  for (const RequestRecord& record : m_state.m_records) {
    if (record.search == search) Write(record);
  }
}

void CRowLines::Write(const RequestRecord& record) {
  if (m_failure || !WantedUrl(m_options, record.url) || !m_written.insert(record.id).second) {
    return;
  }
  Json::Value row = RowValue(record);
  row["finished"] = record.finished;
  const size_t page = static_cast<size_t>(record.search) - 1;
  row["page"] = page < m_state.m_searches.size() ? m_state.m_searches[page].url : "";
  const std::string line = WriteJsonText(row);
  const bool written = m_toOutput
                           ? std::fwrite(line.data(), 1, line.size(), stdout) == line.size() &&
                                 std::fflush(stdout) == 0
                           : m_file.Write(line);
  if (!written) m_failure = errno ? errno : EIO;
}

bool CRowLines::ReaderGone() const { return m_failure == EPIPE; }

bool CRowLines::Close(std::string& error) {
  if (!m_failure && (m_toOutput || m_file.MoveTo(m_path))) return true;
  const int failure = m_failure ? m_failure : errno;
  m_file.Discard();
  error = "cannot write " + (m_toOutput ? std::string("the rows") : m_path) + ": " +
          std::strerror(failure);
  return false;
}
