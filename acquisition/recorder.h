// The recorder of a session: a thread that writes every sweep of the
// session's history to a BDF file, from the first sweep on, whatever the
// script does.  It follows the history with a cursor of its own, so that a
// late read, a stalled script or a read that lost sweeps costs the file
// nothing; only a disk slower than the amplifier for longer than the
// history lasts would.  Plain C++; no host header; no host calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "acquisition/engine.h"
#include "acquisition/history.h"

namespace acquisition {

struct Recorder;

enum class RecorderOpen { ok, exists, failed };

// Creates the file for the session's kept channels (all but the sync word,
// with Status as the last signal); `message` says why when it fails.
RecorderOpen recorder_open(Recorder*& recorder, const EngineConfig& config, std::string& message);

// Sweeps per data record of the file.
int64_t recorder_record_sweeps(const Recorder* recorder);

// Whether writing has failed (the file takes no more sweeps).
bool recorder_failed(const Recorder* recorder);

// Starts the writing thread on the history the reader fills.
void recorder_start(Recorder* recorder, const History* history);

// Writes what is left of the `received` sweeps, finishes the file and joins
// the thread.
void recorder_finish(Recorder* recorder, int64_t received, RecordSummary& summary);

// Records and sweeps written so far, the writing thread's processor time,
// and the failure, if any.
void recorder_progress(const Recorder* recorder, int64_t& records, int64_t& sweeps, double& cpu_seconds, char* error,
                       size_t error_size);

// A failure or loss not yet reported to the script, as a problem.
bool recorder_take_problem(Recorder* recorder, EngineProblem& problem);

void recorder_destroy(Recorder* recorder);

}  // namespace acquisition
