#pragma once

// Runs a save job: its items in order through the browsing session (a joined stream's
// segments four at a time, written in order), each file written beside its place and moved
// in only when whole, with its progress told to the page's saveProgress: {job, name,
// state: "running" | "done" | "failed" | "cancelled", bytes, total, item, items, joined,
// path, saved, failures: [{name, error}], error, speed (bytes a second), left (seconds, -1
// unknown), muxing (its tracks are being muxed into its file), note (of a live stream, that
// it was cut where its playlist ended; or empty)}, running at most four times a
// second. A fetch that fails is made again three times after a wait, unless the server refused it.
// A folder save goes on past a file that fails and ends done when any file was saved; a joined file
// fails with its first part that does, and a stream of several tracks is muxed into its file and
// read back first.

#include "finder/saves/save_files.h"

#include <memory>

// Takes the job, gives it its number, and starts it.
void StartJob(Saves& saves, std::unique_ptr<SaveJob> job);
// Ends a running save as cancelled; false when there is none of that number.
bool CancelJob(Saves& saves, uint32_t id);
// Ends every running save as cancelled.
void CancelAllJobs(Saves& saves);
// The saves' clock ticked (kSavesTimer): the fetches whose wait is over are made again,
// and the muxes that ended are placed.
void TickSaves(Saves& saves);
// The page loaded again: it hears each save's last progress, in order.
void RetellSaves(const Saves& saves);
