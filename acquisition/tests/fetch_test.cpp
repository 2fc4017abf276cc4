// acq_fetch through the stand-in host against a driver pointer the test
// controls, and the ring arithmetic underneath it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "acquisition/driver.h"
#include "acquisition/ring.h"
#include "acquisition/sessions.h"
#include "host/standin/standin.h"

namespace {

using acquisition::RING_SWEEPS;
using standin::Array;

// The driver pointer the next READ_POINTER reports, and whether it succeeds;
// g_moves_to, when set, is where the pointer has moved by the next read (the
// driver writing while a fetch copies).
uint32_t g_pointer = 0;
int32_t g_read_ok = 1;
int g_reads = 0;
void* g_handle_seen = nullptr;
std::vector<uint32_t> g_moves_to;

int32_t fake_read_pointer(void* handle, uint32_t* pointer) {
  ++g_reads;
  g_handle_seen = handle;
  if (!g_read_ok) return 0;
  *pointer = g_pointer;
  if (!g_moves_to.empty()) {
    g_pointer = g_moves_to.front();
    g_moves_to.erase(g_moves_to.begin());
  }
  return 1;
}

constexpr int32_t CHANNELS = 5;
constexpr int32_t S = CHANNELS * 4;
constexpr int32_t R = S * RING_SWEEPS;

int32_t fake_usb_write(void*, const unsigned char*) { return 1; }
int32_t fake_close(void*) { return 1; }

// A ring whose word k holds k, so that every copied word tells where it
// came from, recorded as a live session for as long as the fake lives.
struct FakeSession {
  std::vector<uint32_t> ring;
  acquisition::SessionRecord record;
  FakeSession() : ring(static_cast<size_t>(R / 4)) {
    for (size_t k = 0; k < ring.size(); ++k) ring[k] = static_cast<uint32_t>(k);
    g_pointer = 0;
    g_read_ok = 1;
    g_reads = 0;
    g_moves_to.clear();
    record.library = reinterpret_cast<void*>(77);
    record.handle = reinterpret_cast<void*>(0x1234);
    record.driver.read_pointer = fake_read_pointer;
    record.driver.usb_write = fake_usb_write;
    record.driver.close = fake_close;
    record.ring = reinterpret_cast<unsigned char*>(ring.data());
    record.ring_bytes = R;
    record.channels = CHANNELS;
    record.rate = 2048;
    EXPECT_TRUE(acquisition::add_session(record));
  }
  ~FakeSession() {
    acquisition::SessionRecord taken;
    EXPECT_EQ(acquisition::take_for_stop(record.library, record.handle, fake_usb_write, fake_close, record.ring, taken),
              acquisition::SessionMatch::live);
  }
  standin::Result fetch(int32_t last, int nlhs = 2, int32_t channels = CHANNELS) {
    return standin::call("acq_fetch", nlhs,
                         {standin::uint64(1, 1, {77}), standin::uint64(1, 1, {0x1234}),
                          standin::uint64(1, 1, {acquisition::address_of(&fake_read_pointer)}),
                          standin::uint64(1, 1, {reinterpret_cast<uintptr_t>(ring.data())}),
                          standin::int32(1, 1, {channels}), standin::int32(1, 1, {last})});
  }
};

// Words expected for the sweeps [first, first + n) of the ring, wrapping.
std::vector<int32_t> sweeps_from(int64_t first, int64_t n) {
  std::vector<int32_t> w;
  for (int64_t j = 0; j < n; ++j)
    for (int32_t i = 0; i < CHANNELS; ++i)
      w.push_back(static_cast<int32_t>(((first + j) % RING_SWEEPS) * CHANNELS + i));
  return w;
}

void expect_fetch(const standin::Result& r, size_t columns, int32_t pointer, const std::vector<int32_t>& words) {
  ASSERT_TRUE(r.ok) << r.error_text;
  ASSERT_TRUE(r.clean());
  ASSERT_EQ(r.outputs.size(), 2u);
  const mxArray* data = r.out(0);
  ASSERT_EQ(mxGetClassID(data), mxINT32_CLASS);
  if (columns == 0) {
    EXPECT_EQ(mxGetM(data), 0u);
    EXPECT_EQ(mxGetN(data), 0u);
  } else {
    EXPECT_EQ(mxGetM(data), static_cast<size_t>(CHANNELS));
    EXPECT_EQ(mxGetN(data), columns);
    EXPECT_EQ(standin::int32s(data), words);
  }
  ASSERT_EQ(mxGetClassID(r.out(1)), mxINT32_CLASS);
  EXPECT_EQ(mxGetNumberOfElements(r.out(1)), 1u);
  EXPECT_EQ(standin::int32s(r.out(1))[0], pointer);
}

TEST(AcqFetch, CopiesWholeSweepsSinceLastPointer) {
  FakeSession s;
  // Nothing new: 0 x 0 and the same pointer, twice.
  expect_fetch(s.fetch(0), 0, 0, {});
  expect_fetch(s.fetch(0), 0, 0, {});
  EXPECT_EQ(g_handle_seen, reinterpret_cast<void*>(0x1234));

  g_pointer = 10 * S;
  expect_fetch(s.fetch(0), 10, 10 * S, sweeps_from(0, 10));

  // In the middle of a sweep: only whole sweeps; the rest comes next time.
  g_pointer = 17 * S + 12;
  expect_fetch(s.fetch(10 * S), 7, 17 * S, sweeps_from(10, 7));
  g_pointer = 17 * S + 4;
  expect_fetch(s.fetch(17 * S), 0, 17 * S, {});

  // The whole ring at once, from 0 to its end.
  g_pointer = R;
  expect_fetch(s.fetch(0), RING_SWEEPS, R, sweeps_from(0, RING_SWEEPS));
}

TEST(AcqFetch, WrapsAroundTheRingEnd) {
  FakeSession s;
  g_pointer = 3 * S;
  expect_fetch(s.fetch(R - 2 * S), 5, 3 * S, sweeps_from(RING_SWEEPS - 2, 5));

  // The previous call saw the pointer at the very end.
  g_pointer = 4 * S;
  expect_fetch(s.fetch(R), 4, 4 * S, sweeps_from(0, 4));

  // From the very end to the start with nothing new: no sweep, the pointer
  // now at 0, and the next fetch goes on from there.
  g_pointer = 0;
  auto r = s.fetch(R);
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_EQ(mxGetM(r.out(0)), static_cast<size_t>(CHANNELS));
  EXPECT_EQ(mxGetN(r.out(0)), 0u);
  EXPECT_EQ(standin::int32s(r.out(1))[0], 0);
  g_pointer = 2 * S;
  expect_fetch(s.fetch(0), 2, 2 * S, sweeps_from(0, 2));

  // Wrapped to one sweep short of a whole ring.
  g_pointer = 5 * S;
  expect_fetch(s.fetch(6 * S), RING_SWEEPS - 1, 5 * S, sweeps_from(6, RING_SWEEPS - 1));
}

TEST(AcqFetch, FailedPointerReadWarnsAndKeepsLastPointer) {
  FakeSession s;
  g_read_ok = 0;
  g_pointer = 9 * S;
  auto r = s.fetch(4 * S);
  expect_fetch(r, 0, 4 * S, {});
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].id, "BioSemi:ReadProblem");
  EXPECT_EQ(r.warnings[0].text, "Reading the updated buffer pointer gave an error.");
}

TEST(AcqFetch, NeverHandsOutASweepTheDriverOverwroteAndALossMovesTheSessionOn) {
  FakeSession s;
  // Two sweeps short of a whole ring to copy; while the result is made the
  // driver writes 7 more, which go round into the 5 oldest: those are left
  // out, and the warning counts them exactly.
  g_pointer = R - 2 * S;
  g_moves_to = {5 * S};
  auto r = s.fetch(0);
  expect_fetch(r, RING_SWEEPS - 2 - 5, R - 2 * S, sweeps_from(5, RING_SWEEPS - 7));
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0].id, "acq_fetch:dataLost");
  EXPECT_EQ(r.warnings[0].text.rfind("5 sweeps (", 0), 0u) << r.warnings[0].text;
  // Nothing reached: the whole copy stands, no warning.
  g_pointer = 9 * S;
  g_moves_to = {9 * S + 3 * S};
  r = s.fetch(R - 2 * S);
  expect_fetch(r, 11, 9 * S, sweeps_from(RING_SWEEPS - 2, 11));
  EXPECT_TRUE(r.warnings.empty());

  // A lab that stops on loss: the late fetch's warning is an error, and the
  // fetches after it are not late again.
  acquisition::note_fetch(s.record.ring, 0);
  g_pointer = 20 * S;
  standin::warnings_as_errors(true);
  r = s.fetch(9 * S);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_id, "acq_fetch:dataLost");
  g_pointer = 30 * S;
  r = s.fetch(9 * S);
  standin::warnings_as_errors(false);
  expect_fetch(r, 21, 30 * S, sweeps_from(9, 21));
}

TEST(AcqFetch, ArgumentMessages) {
  FakeSession s;
  auto r = standin::call("acq_fetch", 2, {standin::uint64(1, 1, {1})});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_text, "Six input arguments required.");
  EXPECT_TRUE(r.clean());

  std::vector<Array> in;
  for (int k = 0; k < 5; ++k) in.push_back(standin::uint64(1, 1, {1}));
  in.push_back(standin::int32(1, 2, {0, 0}));
  r = standin::call("acq_fetch", 2, in);
  EXPECT_EQ(r.error_text, "All inputs must be scalars.");
  in[5] = standin::int32(0, 0);
  r = standin::call("acq_fetch", 2, in);
  EXPECT_EQ(r.error_text, "All inputs must be scalars.");

  for (int nlhs : {0, 1, 3}) {
    r = s.fetch(0, nlhs);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error_text, "Two output arguments required.");
    EXPECT_TRUE(r.clean());
  }
  EXPECT_EQ(g_reads, 0);  // nothing was touched
}

TEST(AcqFetch, RefusesValuesOutsideTheSession) {
  FakeSession s;
  auto id_of = [](const standin::Result& r) { return r.ok ? std::string("ok") : r.error_id; };
  EXPECT_EQ(id_of(s.fetch(0, 2, 0)), "acq_fetch:badChannelCount");
  EXPECT_EQ(id_of(s.fetch(0, 2, -3)), "acq_fetch:badChannelCount");
  EXPECT_EQ(id_of(s.fetch(0, 2, 17477)), "acq_fetch:badChannelCount");  // ring length would overflow
  EXPECT_EQ(id_of(s.fetch(-S)), "acq_fetch:badPointer");
  EXPECT_EQ(id_of(s.fetch(R + S)), "acq_fetch:badPointer");
  EXPECT_EQ(id_of(s.fetch(S + 4)), "acq_fetch:badPointer");
  EXPECT_EQ(g_reads, 0);

  g_pointer = R + 4;
  EXPECT_EQ(id_of(s.fetch(0)), "acq_fetch:driverPointerOutOfRange");
  g_pointer = 0xFFFFFFF0u;
  EXPECT_EQ(id_of(s.fetch(0)), "acq_fetch:driverPointerOutOfRange");

  // Classes that would be read past their data or as garbage addresses.
  auto r = standin::call("acq_fetch", 2,
                         {standin::uint64(1, 1, {1}), standin::int32(1, 1, {1}), standin::uint64(1, 1, {1}),
                          standin::uint64(1, 1, {1}), standin::int32(1, 1, {3}), standin::int32(1, 1, {0})});
  EXPECT_EQ(id_of(r), "acq_fetch:notUint64");
  r = standin::call("acq_fetch", 2,
                    {standin::uint64(1, 1, {1}), standin::uint64(1, 1, {1}), standin::uint64(1, 1, {1}),
                     standin::uint64(1, 1, {1}), standin::scalar(3), standin::int32(1, 1, {0})});
  EXPECT_EQ(id_of(r), "acq_fetch:notInt32");
  r = standin::call("acq_fetch", 2,
                    {standin::uint64(1, 1, {1}), standin::uint64(1, 1, {1}), standin::uint64(1, 1, {0}),
                     standin::uint64(1, 1, {1}), standin::int32(1, 1, {3}), standin::int32(1, 1, {0})});
  EXPECT_EQ(id_of(r), "acq_fetch:nullAddress");
  EXPECT_TRUE(r.clean());
}

TEST(RingArithmetic, ArrivedBytesCountsModuloTheRing) {
  using acquisition::arrived_bytes;
  EXPECT_EQ(arrived_bytes(100, 140, 1000), 40);
  EXPECT_EQ(arrived_bytes(960, 8, 1000), 48);     // wrapped right after p0
  EXPECT_EQ(arrived_bytes(1000, 8, 1000), 8);     // p0 at the very end
  EXPECT_EQ(arrived_bytes(0, 1000, 1000), 1000);  // a whole ring
  EXPECT_EQ(arrived_bytes(500, 500, 1000), 0);

  const uint32_t ring[4] = {10, 11, 12, 13};
  EXPECT_EQ(acquisition::ring_word(ring, 16, 0), 10u);
  EXPECT_EQ(acquisition::ring_word(ring, 16, 7), 11u);
  EXPECT_EQ(acquisition::ring_word(ring, 16, 16), 10u);  // the end continues at the start
  EXPECT_EQ(acquisition::ring_word(ring, 16, 20), 11u);
}

TEST(RingArithmetic, NegativePointerIsTakenFromTheRingEnd) {
  auto plan = acquisition::plan_fetch(-2 * S - 5, 0, S, R);
  EXPECT_EQ(plan.pointer, R - 2 * S);
  EXPECT_EQ(plan.sweeps, RING_SWEEPS - 2);
}

}  // namespace

namespace {

// A driver whose pointer follows a script: one value per READ_POINTER, the
// last repeated.
std::vector<uint32_t> g_script;
size_t g_script_at = 0;
int32_t scripted_read_pointer(void*, uint32_t* pointer) {
  *pointer = g_script[g_script_at < g_script.size() ? g_script_at : g_script.size() - 1];
  ++g_script_at;
  return 1;
}

acquisition::WaitResult run_wait(const std::vector<uint32_t>& ring, uint32_t p0, uint32_t channels,
                                 std::vector<uint32_t> script) {
  g_script = std::move(script);
  g_script_at = 0;
  acquisition::DriverExports driver;
  driver.read_pointer = &scripted_read_pointer;
  return acquisition::wait_for_sweeps(driver, nullptr, ring.data(), static_cast<int64_t>(ring.size()) * 4, p0,
                                      channels);
}

TEST(Waits, StartWaitCountsArrivalsModuloTheRing) {
  std::vector<uint32_t> ring(64, 0);
  const uint32_t R = 256;
  ring[63] = acquisition::SYNC_WORD;  // the sweep starts in the ring's last word
  // 4 bytes arrived after a wrap: the status word at the ring's start is not
  // there yet, so the wait goes on until it is.
  EXPECT_EQ(run_wait(ring, R - 4, 0, {R - 4, 0, 0, 0, 4}), acquisition::WaitResult::ready);
  EXPECT_EQ(g_script_at, 5u);
  // The pointer at the ring's end reads its words from the start.
  ring[0] = acquisition::SYNC_WORD;
  EXPECT_EQ(run_wait(ring, R, 0, {R, 4, 8}), acquisition::WaitResult::ready);
  EXPECT_EQ(g_script_at, 3u);
}

TEST(Waits, FormatWaitDecidesOnlyOnceTheSecondSweepHasBegun) {
  const uint32_t C = 4, S = C * 4;
  std::vector<uint32_t> ring(64, 0);
  ring[0] = acquisition::SYNC_WORD;
  ring[C] = acquisition::SYNC_WORD;
  // Exactly one sweep for a while, then the second sweep's first word.
  EXPECT_EQ(run_wait(ring, 0, C, {0, S, S, S, S + 4}), acquisition::WaitResult::ready);
  EXPECT_EQ(g_script_at, 5u);
  ring[C] = 7;
  EXPECT_EQ(run_wait(ring, 0, C, {S, S, S + 4}), acquisition::WaitResult::sync_misplaced);
  EXPECT_EQ(g_script_at, 3u);
}

}  // namespace
