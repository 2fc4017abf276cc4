#include "acquisition/recorder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "acquisition/thread_time.h"
#include "bdf/writer.h"

namespace acquisition {

namespace {

// The writing thread looks for new sweeps this often: the file trails the
// amplifier by at most this plus one record.
constexpr std::chrono::milliseconds WRITE_INTERVAL(20);

}  // namespace

struct Recorder {
  bdf::Writer writer;
  std::string path;
  int32_t rate = 0;
  int64_t record_sweeps = 0;
  int32_t rows = 0;
  std::vector<int32_t> chunk;  // sweeps on their way from the history to the file
  int64_t chunk_sweeps = 0;
  const History* history = nullptr;
  std::thread thread;

  mutable std::mutex lock;  // guards what follows, and wakes the thread for the end
  std::condition_variable wake;
  bool finishing = false;
  int64_t final_received = 0;
  std::atomic<bool> failed{false};
  std::string error;
  bool error_reported = true;
  int64_t lost = 0;
  int64_t lost_reported = 0;
  std::atomic<int64_t> records{0}, sweeps{0};
  std::atomic<int64_t> cpu_ns{0};
  int64_t cursor = 0;  // the next sweep to write; the thread's own
};

namespace {

void fail(Recorder* r, const std::string& message) {
  std::lock_guard<std::mutex> hold(r->lock);
  if (r->failed) return;
  r->failed = true;
  r->error = message;
  r->error_reported = false;
}

// Writes sweeps [cursor, upto) of the history, chunk by chunk; sweeps the
// history no longer holds (the disk fell behind by more than the history
// lasts) are counted as lost.
void write_up_to(Recorder* r, int64_t upto) {
  while (r->cursor < upto && !r->failed) {
    const int64_t oldest = history_oldest(*r->history, r->history->published.load(std::memory_order_acquire));
    if (r->cursor < oldest) {
      std::lock_guard<std::mutex> hold(r->lock);
      r->lost += oldest - r->cursor;
      r->cursor = oldest;
      continue;
    }
    const int64_t n = std::min(upto - r->cursor, r->chunk_sweeps);
    const int64_t intact = history_copy(*r->history, r->cursor, r->cursor + n, r->chunk.data());
    if (intact > r->cursor) {
      std::lock_guard<std::mutex> hold(r->lock);
      r->lost += intact - r->cursor;
    }
    std::string message;
    const int64_t skip = intact - r->cursor;
    if (n > skip && !bdf::writer_append(r->writer, r->chunk.data() + skip * r->rows, n - skip, message)) {
      fail(r, message);
      return;
    }
    r->cursor += n;
    r->records.store(r->writer.records, std::memory_order_relaxed);
    r->sweeps.store(r->writer.sweeps, std::memory_order_relaxed);
  }
}

void recorder_main(Recorder* r) {
  for (;;) {
    bool finishing = false;
    int64_t final_received = 0;
    {
      std::unique_lock<std::mutex> hold(r->lock);
      r->wake.wait_for(hold, WRITE_INTERVAL, [r] { return r->finishing; });
      finishing = r->finishing;
      final_received = r->final_received;
    }
    if (finishing) {
      write_up_to(r, final_received);
      r->cpu_ns.store(thread_cpu_ns(), std::memory_order_relaxed);
      return;
    }
    write_up_to(r, r->history->published.load(std::memory_order_acquire));
    r->cpu_ns.store(thread_cpu_ns(), std::memory_order_relaxed);
  }
}

}  // namespace

RecorderOpen recorder_open(Recorder*& recorder, const EngineConfig& config, std::string& message) {
  recorder = nullptr;
  Recorder* r = new (std::nothrow) Recorder;
  if (!r) {
    message = "Out of memory for the recorder.";
    return RecorderOpen::failed;
  }
  try {
    bdf::FileSpec spec;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    spec.year = local.tm_year + 1900;
    spec.month = local.tm_mon + 1;
    spec.day = local.tm_mday;
    spec.hour = local.tm_hour;
    spec.minute = local.tm_min;
    spec.second = local.tm_sec;
    spec.patient = "X";
    spec.recording = config.recording_text;
    spec.rate = config.rate;
    spec.sweep_words = static_cast<int32_t>(config.keep.size());
    // Every kept word but the sync word (row 0), with Status (row 1) last.
    for (size_t row = 2; row < config.keep.size(); ++row)
      spec.signals.push_back(bdf::amplifier_signal(config.labels[row], static_cast<int32_t>(row)));
    spec.signals.push_back(bdf::status_signal(1));
    spec.record_sweeps = bdf::record_sweeps_for(config.rate, static_cast<int32_t>(spec.signals.size()));
    r->path = config.record_path;
    r->rate = config.rate;
    r->record_sweeps = spec.record_sweeps;
    r->rows = spec.sweep_words;
    r->chunk_sweeps = std::max<int64_t>(spec.record_sweeps, config.rate / 4);
    r->chunk.resize(static_cast<size_t>(r->chunk_sweeps) * static_cast<size_t>(r->rows));
    const bdf::OpenResult opened = bdf::writer_open(r->writer, config.record_path, spec, config.overwrite, message);
    if (opened != bdf::OpenResult::ok) {
      delete r;
      return opened == bdf::OpenResult::exists ? RecorderOpen::exists : RecorderOpen::failed;
    }
  } catch (const std::bad_alloc&) {
    delete r;
    message = "Out of memory for the recorder.";
    return RecorderOpen::failed;
  }
  recorder = r;
  return RecorderOpen::ok;
}

int64_t recorder_record_sweeps(const Recorder* r) { return r->record_sweeps; }

bool recorder_failed(const Recorder* r) { return r->failed.load(); }

void recorder_start(Recorder* r, const History* history) {
  r->history = history;
  r->thread = std::thread(recorder_main, r);
}

void recorder_finish(Recorder* r, int64_t received, RecordSummary& summary) {
  {
    std::lock_guard<std::mutex> hold(r->lock);
    r->finishing = true;
    r->final_received = received;
  }
  r->wake.notify_one();
  if (r->thread.joinable()) r->thread.join();
  std::string message;
  if (!bdf::writer_close(r->writer, message)) fail(r, message);
  summary.recorded = true;
  summary.sweeps = r->writer.sweeps;
  summary.padded = r->writer.padded;
  summary.seconds = static_cast<double>(r->writer.sweeps) / r->rate;
  std::snprintf(summary.path, sizeof summary.path, "%s", r->path.c_str());
  std::lock_guard<std::mutex> hold(r->lock);
  summary.lost = r->lost + (received > r->cursor ? received - r->cursor : 0);
  if (r->failed) std::snprintf(summary.error, sizeof summary.error, "%s", r->error.c_str());
  r->records.store(r->writer.records);
  r->sweeps.store(r->writer.sweeps);
}

void recorder_progress(const Recorder* r, int64_t& records, int64_t& sweeps, double& cpu_seconds, char* error,
                       size_t error_size) {
  records = r->records.load(std::memory_order_relaxed);
  sweeps = r->sweeps.load(std::memory_order_relaxed);
  cpu_seconds = static_cast<double>(r->cpu_ns.load(std::memory_order_relaxed)) / 1e9;
  std::lock_guard<std::mutex> hold(r->lock);
  std::snprintf(error, error_size, "%s", r->error.c_str());
}

bool recorder_take_problem(Recorder* r, EngineProblem& problem) {
  std::lock_guard<std::mutex> hold(r->lock);
  if (!r->error_reported) {
    r->error_reported = true;
    std::snprintf(problem.condition, sizeof problem.condition, "recordFailed");
    std::snprintf(problem.text, sizeof problem.text, "Recording to %s stopped: %s The acquisition goes on.",
                  r->path.c_str(), r->error.c_str());
    return true;
  }
  if (r->lost > r->lost_reported) {
    std::snprintf(problem.condition, sizeof problem.condition, "recordLost");
    std::snprintf(problem.text, sizeof problem.text,
                  "The file %s misses %lld sweeps: writing fell behind the amplifier by more than the history "
                  "holds.",
                  r->path.c_str(), static_cast<long long>(r->lost - r->lost_reported));
    r->lost_reported = r->lost;
    return true;
  }
  return false;
}

void recorder_destroy(Recorder* r) {
  if (!r) return;
  if (r->thread.joinable()) {
    RecordSummary ignored;
    recorder_finish(r, r->cursor, ignored);
  }
  delete r;
}

}  // namespace acquisition
