// The session engine with a driver of the test's own: the reader thread
// drains the ring into the history by sweep number across wrap-arounds,
// keeps the chosen words, detects every onset once, and turns each kind of
// driver trouble into a problem for the script.  Also the arithmetic of
// what a copy can vouch for.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#endif

#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/engine.h"
#include "acquisition/history.h"
#include "acquisition/ring.h"

namespace {

using namespace acquisition;

constexpr int32_t CHANNELS = 4;
constexpr int64_t SWEEP_BYTES = CHANNELS * 4;
constexpr int64_t RING_BYTES = SWEEP_BYTES * RING_SWEEPS;

// The test's driver: a ring it writes sweeps into by hand, and a pointer
// that READ_POINTER reports, fails to report or throws over.
enum class Pointer { good, fail, raise };
struct Fake {
  std::vector<uint32_t> ring = std::vector<uint32_t>(RING_BYTES / 4);
  std::atomic<uint32_t> pointer{0};
  std::atomic<Pointer> mode{Pointer::good};
  int64_t written = 0;  // sweeps written so far
};
Fake* g_fake = nullptr;

int32_t fake_read_pointer(void*, uint32_t* p) {
  if (g_fake->mode == Pointer::raise) throw std::runtime_error("driver trouble");
  if (g_fake->mode == Pointer::fail) return 0;
  *p = g_fake->pointer.load();
  return 1;
}

// Sweep k: sync, status with trigger code codes(k), k in the upper three
// bytes of word 2, ~k in word 3.
uint32_t code_of(int64_t k) { return (k / 700) % 3 == 0 ? 0 : static_cast<uint32_t>((k / 700) % 5 + 1); }

void write_sweeps(Fake& f, int64_t n, bool bad_sync_last = false) {
  for (int64_t j = 0; j < n; ++j) {
    const int64_t k = f.written++;
    uint32_t* w = f.ring.data() + (k % RING_SWEEPS) * CHANNELS;
    w[0] = bad_sync_last && j == n - 1 ? 0x12345600u : SYNC_WORD;
    w[1] = 0x88000000u | (code_of(k) << 8);
    w[2] = static_cast<uint32_t>(k % (1 << 24)) << 8;
    w[3] = ~static_cast<uint32_t>(k);
  }
  const int64_t end = (f.written % RING_SWEEPS) * SWEEP_BYTES;
  f.pointer.store(static_cast<uint32_t>(end == 0 ? RING_BYTES : end));
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { g_fake = &fake_; }
  void TearDown() override {
    if (engine_) {
      RecordSummary summary;
      EXPECT_TRUE(engine_stop(engine_, summary));
      engine_destroy(engine_);
    }
    g_fake = nullptr;
  }
  Engine* open(std::vector<int32_t> keep, int64_t history_sweeps, const std::string& record = "") {
    EngineConfig c;
    c.record_path = record;
    c.overwrite = true;
    c.driver.read_pointer = fake_read_pointer;
    c.ring = reinterpret_cast<const unsigned char*>(fake_.ring.data());
    c.ring_bytes = static_cast<int32_t>(RING_BYTES);
    c.channels = CHANNELS;
    c.rate = 2048;
    c.keep = keep;
    c.labels.assign(keep.size(), "X");
    c.history_sweeps = history_sweeps;
    EngineRefused why;
    engine_ = engine_create(c, why);
    EXPECT_NE(engine_, nullptr) << why.message;
    engine_start(engine_);
    return engine_;
  }
  // Waits until the reader has taken `n` sweeps (or a second has passed).
  void wait_received(int64_t n) {
    for (int k = 0; k < 1000 && engine_received(engine_) < n; ++k)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(engine_received(engine_), n);
  }
  std::vector<std::string> problems() {
    std::vector<std::string> found;
    EngineProblem p;
    while (engine_take_problem(engine_, p)) found.push_back(p.condition);
    return found;
  }
  Fake fake_;
  Engine* engine_ = nullptr;
};

TEST_F(EngineTest, DrainsTheRingAcrossWrapsKeepsTheChosenWordsAndEveryOnsetOnce) {
  const int64_t history = 40000;
  open({0, 1, 2}, history);
  std::vector<TriggerEvent> events;
  int64_t expected_onsets = 0;
  uint32_t previous = 0;
  // 100000 sweeps, three times round the ring, in uneven pieces (the first
  // over half the ring), with the events taken between pieces.
  for (int64_t done = 0; done < 100000;) {
    const int64_t piece = std::min<int64_t>(100000 - done, done == 0 ? 20000 : 1 + (done * 7919) % 9000);
    for (int64_t k = done; k < done + piece; ++k) {
      expected_onsets += code_of(k) != previous && code_of(k) != 0;
      previous = code_of(k);
    }
    write_sweeps(fake_, piece);
    done += piece;
    wait_received(done);
    std::vector<TriggerEvent> taken(engine_pending_events(engine_));
    int64_t dropped = 0;
    taken.resize(engine_take_events(engine_, taken.data(), taken.size(), dropped));
    EXPECT_EQ(dropped, 0);
    events.insert(events.end(), taken.begin(), taken.end());
  }
  // The history holds the last 40000 sweeps, three kept words each.
  std::vector<int32_t> words(3 * history);
  EXPECT_EQ(engine_copy(engine_, 100000 - history, 100000, words.data()), 100000 - history);
  for (int64_t j = 0; j < history; ++j) {
    const int64_t k = 100000 - history + j;
    ASSERT_EQ(static_cast<uint32_t>(words[3 * j]), SYNC_WORD);
    ASSERT_EQ(static_cast<uint32_t>(words[3 * j + 1]), 0x88000000u | (code_of(k) << 8));
    ASSERT_EQ(static_cast<uint32_t>(words[3 * j + 2]) >> 8, static_cast<uint32_t>(k)) << k;
  }
  ASSERT_EQ(static_cast<int64_t>(events.size()), expected_onsets);
  previous = 0;
  size_t e = 0;
  for (int64_t k = 0; k < 100000; ++k) {
    if (code_of(k) != previous && code_of(k) != 0) {
      EXPECT_EQ(events[e].sweep, k);
      EXPECT_EQ(events[e].code, code_of(k));
      ++e;
    }
    previous = code_of(k);
  }
  EXPECT_TRUE(problems().empty());
  EngineStatus st;
  engine_status(engine_, st);
  EXPECT_TRUE(st.running);
  EXPECT_EQ(st.held, history);
  EXPECT_EQ(st.lost_by_reader, 0);
}

TEST_F(EngineTest, DriverTroubleBecomesOneProblemEachAndNeverACrash) {
  open({0, 1, 2, 3}, 10000);
  write_sweeps(fake_, 100);
  wait_received(100);
  // The pointer stands still: one problem after a second, cleared when
  // sweeps come again.
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  EngineStatus st;
  engine_status(engine_, st);
  EXPECT_TRUE(st.stalled);
  EXPECT_EQ(problems(), std::vector<std::string>({"stalled"}));
  write_sweeps(fake_, 10);
  wait_received(110);
  engine_status(engine_, st);
  EXPECT_FALSE(st.stalled);
  // Reads that fail for a second: one problem, and the reader goes on.
  fake_.mode = Pointer::fail;
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));
  fake_.mode = Pointer::good;
  EXPECT_EQ(problems(), std::vector<std::string>({"readFailed"}));
  write_sweeps(fake_, 10);
  wait_received(120);
  // A sweep without its sync word stops the reader after the good ones.
  write_sweeps(fake_, 5, true);
  for (int k = 0; k < 1000 && engine_received(engine_) < 124; ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(engine_received(engine_), 124);
  EXPECT_EQ(problems(), std::vector<std::string>({"syncLost"}));
  engine_status(engine_, st);
  EXPECT_FALSE(st.running);
}

TEST_F(EngineTest, BadPointerAndAThrowingDriverStopTheReaderWithTheirOwnProblem) {
  open({0, 1, 2, 3}, 1000);
  fake_.pointer = static_cast<uint32_t>(RING_BYTES + 4);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(problems(), std::vector<std::string>({"badPointer"}));
  RecordSummary summary;
  EXPECT_TRUE(engine_stop(engine_, summary));
  engine_destroy(engine_);
  engine_ = nullptr;

  fake_.pointer = 0;
  open({0, 1, 2, 3}, 1000);
  fake_.mode = Pointer::raise;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(problems(), std::vector<std::string>({"driverFailed"}));
  EngineStatus st;
  engine_status(engine_, st);
  EXPECT_FALSE(st.running);
  uint32_t p = 0;
  EXPECT_EQ(engine_read_pointer(engine_, &p), 0);  // acq_fetch's read fails the same way
}

#if !defined(_WIN32)
// A disk that fills up mid-session (here: a file size limit): the recording
// stops with one problem and its reason in the status, the acquisition goes
// on, and the stop reports the failure instead of a finished file.
TEST_F(EngineTest, ARecordingThatCannotBeWrittenIsAProblemAndTheAcquisitionGoesOn) {
  const std::string file = ::testing::TempDir() + "engine_full_disk.bdf";
  std::remove(file.c_str());
  rlimit before;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  const auto previous = signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead of ending the process
  rlimit limited = before;
  limited.rlim_cur = 256 * 4 + 3 * 3 * 1000;  // the header and a third of the first record
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  open({0, 1, 2, 3}, 10000, file);
  for (int k = 0; k < 4; ++k) {
    write_sweeps(fake_, 1024);
    wait_received(1024 * (k + 1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EngineStatus st;
  engine_status(engine_, st);
  EXPECT_TRUE(st.recording);
  EXPECT_EQ(st.records_written, 0);
  EXPECT_NE(std::string(st.record_error), "");
  EXPECT_EQ(problems(), std::vector<std::string>({"recordFailed"}));
  write_sweeps(fake_, 100);
  wait_received(4196);  // the acquisition goes on
  RecordSummary summary;
  EXPECT_TRUE(engine_stop(engine_, summary));
  EXPECT_TRUE(summary.recorded);
  EXPECT_NE(std::string(summary.error), "");
  engine_destroy(engine_);
  engine_ = nullptr;
  setrlimit(RLIMIT_FSIZE, &before);
  signal(SIGXFSZ, previous);
  std::remove(file.c_str());
}
#endif

TEST(CopyVouching, HistoryCopyReportsWhatTheWriterMayHaveReplaced) {
  History h;
  ASSERT_TRUE(history_allocate(h, 2, 100));
  std::vector<int32_t> dest(2 * 100);
  history_begin(h, 150);
  history_publish(h, 150);
  EXPECT_EQ(history_copy(h, 50, 150, dest.data()), 50);   // all 100 held intact
  history_begin(h, 170);                                   // a batch under way replaces 50 to 69
  EXPECT_EQ(history_copy(h, 50, 150, dest.data()), 70);
  history_begin(h, 400);
  EXPECT_EQ(history_copy(h, 50, 150, dest.data()), 150);  // nothing left to vouch for
  history_free(h);
}

TEST(CopyVouching, OverwrittenSweepsCountsFromTheOldestWhatTheDriverReached) {
  const int64_t s = 16, r = 16 * 100;
  // 90 sweeps copied, ending at 400: a gap of 10 sweeps before the oldest.
  EXPECT_EQ(overwritten_sweeps(400, 400, 400, 90, s, r, 0), 0);           // nothing written meanwhile
  EXPECT_EQ(overwritten_sweeps(400, 400, 400 + 10 * s, 90, s, r, 0), 0);  // the gap just full
  EXPECT_EQ(overwritten_sweeps(400, 400, 400 + 10 * s + 4, 90, s, r, 0), 1);  // into the oldest
  EXPECT_EQ(overwritten_sweeps(400, 400, 400 + 30 * s, 90, s, r, 0), 20);
  EXPECT_EQ(overwritten_sweeps(400, 400 + 8, 400 + 8 + 10 * s, 90, s, r, 0), 1);  // a pointer half a sweep on at first
  // The pointer back where it was, but the clock says a whole round went by.
  EXPECT_EQ(overwritten_sweeps(400, 400, 400, 90, s, r, static_cast<double>(r)), 90);
  EXPECT_EQ(overwritten_sweeps(400, 400, 400, 100, s, r, 0), 0);          // the whole ring, nothing written
  EXPECT_EQ(overwritten_sweeps(400, 400, 400 + 5 * s, 3, s, r, 0), 0);
}

}  // namespace
