#include "finder/save_job.h"

SaveJob::~SaveJob() {
  if (fetch) fetch->Cancel();
  if (file) std::fclose(file);
  if (!partial.empty()) std::remove(partial.c_str());
}
