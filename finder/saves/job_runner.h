#pragma once

// Runs a save job: its items one after another through the browsing session, each file
// written beside its place and moved in only when whole, with its progress told to the
// page's saveProgress: {job, name, state: "running" | "done" | "failed" | "cancelled",
// bytes, total, item, items, joined, path, saved, failures: [{name, error}], error},
// running at most four times a second. A folder save goes on past a file that fails and
// ends done when any file was saved; a joined file fails with its first part that does.

#include "finder/saves/save_files.h"

#include <memory>

// Takes the job, gives it its number, and starts it.
void StartJob(Saves& saves, std::unique_ptr<SaveJob> job);
// Ends a running save as cancelled; false when there is none of that number.
bool CancelJob(Saves& saves, uint32_t id);
// Ends every running save as cancelled.
void CancelAllJobs(Saves& saves);
// The page loaded again: it hears each save's last progress, in order.
void RetellSaves(const Saves& saves);
