// The six entries through the stand-in host: shapes, slots, bad input.
#include <gtest/gtest.h>

#include <cmath>

#include "host/standin/standin.h"
#include "testing/test_util.h"

namespace {

using standin::Array;

struct Shape {
  size_t m, n;
};
Shape shape(const mxArray* a) { return {static_cast<size_t>(mxGetM(a)), static_cast<size_t>(mxGetN(a))}; }

// A successful call with its single output.
standin::Result ok_call(const std::string& name, int nlhs, std::vector<Array> in) {
  auto r = standin::call(name, nlhs, in);
  EXPECT_TRUE(r.ok) << name << ": " << r.error_id << " " << r.error_text;
  EXPECT_TRUE(r.clean()) << name;
  EXPECT_EQ(r.printed, "");
  return r;
}

void expect_error(const std::string& name, const std::string& id, std::vector<Array> in, int nlhs = 1) {
  eegtest::expect_error(standin::call(name, nlhs, in), id);
}

template <class... A>
std::vector<Array> args(A... a) {
  std::vector<Array> v;
  (v.push_back(std::move(a)), ...);
  return v;
}

TEST(LinidxCoordsEntry, OutputsAndShapes) {
  auto r = ok_call("linidx_coords", 1, args(standin::real(1, 3, {2, 2, 2}), standin::scalar(6)));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{2, 1, 2}));
  EXPECT_EQ(shape(r.out(0)).m, 1u);

  // A matrix of indices is read in element order; one row per element.
  r = ok_call("linidx_coords", 0, args(standin::real(2, 1, {3, 4}), standin::real(2, 2, {7, 7, 1, 12})));
  EXPECT_EQ(shape(r.out(0)).m, 4u);
  EXPECT_EQ(shape(r.out(0)).n, 2u);
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1, 1, 1, 3, 3, 3, 1, 4}));

  r = ok_call("linidx_coords", 1, args(standin::real(1, 3, {2, 1, 3}), standin::real(0, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 0u);
  EXPECT_EQ(shape(r.out(0)).n, 3u);

  // No extents: a copy of idx, shape and all, whatever it holds.
  r = ok_call("linidx_coords", 1, args(standin::real(0, 0), standin::real(2, 3, {1, 2, 3, 4, 5, -6})));
  EXPECT_EQ(shape(r.out(0)).m, 2u);
  EXPECT_EQ(shape(r.out(0)).n, 3u);
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1, 2, 3, 4, 5, -6}));

  // A grid of 2^30 cells answers without tabulating it.
  r = ok_call("linidx_coords", 1, args(standin::real(1, 30, std::vector<double>(30, 2.0)), standin::scalar(1 << 30)));
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>(30, 2.0));
}

TEST(LinidxCoordsEntry, BadInput) {
  const char* f = "linidx_coords";
  expect_error(f, "linidx_coords:nargin", args(standin::real(1, 2, {3, 4})));
  expect_error(f, "linidx_coords:nargin", args(standin::real(1, 2, {3, 4}), standin::scalar(1), standin::scalar(1)));
  expect_error(f, "linidx_coords:nargout", args(standin::real(1, 2, {3, 4}), standin::scalar(1)), 2);
  expect_error(f, "linidx_coords:notDouble", args(standin::int32(1, 2, {3, 4}), standin::scalar(1)));
  expect_error(f, "linidx_coords:notDouble", args(standin::real(1, 2, {3, 4}), standin::single(1, 1, {1})));
  expect_error(f, "linidx_coords:notDouble", args(standin::real(1, 2, {3, 4}), standin::complex(1, 1)));
  expect_error(f, "linidx_coords:notDouble", args(standin::sparse(1, 2, {0, 0}, {0, 1}, {3, 4}), standin::scalar(1)));
  for (double bad : {0.0, -2.0, 2.5, std::nan("")})
    expect_error(f, "linidx_coords:badExtent", args(standin::real(1, 2, {3, bad}), standin::scalar(1)));
  expect_error(f, "linidx_coords:tooManyCells",
               args(standin::real(1, 31, std::vector<double>(31, 2.0)), standin::real(0, 0)));
  expect_error(f, "linidx_coords:tooManyCells", args(standin::real(1, 3, {65536, 65536, 1}), standin::scalar(1)));
  for (double bad : {0.0, 13.0, -1.0, std::nan("")}) {
    expect_error(f, "linidx_coords:badIndex", args(standin::real(1, 2, {3, 4}), standin::scalar(bad)));
    expect_error(f, "linidx_coords:badIndex", args(standin::real(1, 2, {3, 4}), standin::real(2, 1, {1, bad})));
  }
  auto r = standin::call(f, 1, args(standin::real(1, 2, {3, 4}), standin::real(1, 3, {1, 2, 99})));
  EXPECT_EQ(r.error_text, "Index 3 is 99; indices must lie in 1 ... 12.");
  // An extent past the 32-bit range is a whole number too: the message says what is wrong with it.
  r = standin::call(f, 1, args(standin::real(1, 2, {3, 1e10}), standin::scalar(1)));
  EXPECT_EQ(r.error_id, "linidx_coords:badExtent");
  EXPECT_EQ(r.error_text,
            "Extent 2 of dims is 1e+10; every extent must be a positive integer no larger than 2147483647.");
}

TEST(FrontierEntry, OutputsAndShapes) {
  auto r = ok_call("lattice_frontier", 1, args(standin::int32(3, 2, {1, 1, 1, 2, 1, 1}), standin::int32(1, 1, {3})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{3, 1, 1, 1, 2, 1, 1, 1, 2}));
  r = ok_call("lattice_frontier_full", 0,
              args(standin::int32(3, 2, {1, 1, 1, 2, 1, 1}), standin::int32(3, 1, {3, 3, 3})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1, 1, 3, 2, 1, 1, 1, 2, 1}));

  // M × 0 sets: the unit points, or nothing; no bound is read.
  r = ok_call("lattice_frontier", 1, args(standin::int32(2, 0), standin::int32(0, 0)));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{2, 1, 1, 2}));
  r = ok_call("lattice_frontier_full", 1, args(standin::int32(4, 0), standin::int32(0, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 0u);
  EXPECT_EQ(shape(r.out(0)).n, 4u);
  r = ok_call("lattice_frontier", 1, args(standin::int32(0, 0), standin::int32(0, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 0u);
  EXPECT_EQ(shape(r.out(0)).n, 0u);
  // The all-ones set reads no bound in lattice_frontier.
  r = ok_call("lattice_frontier", 1, args(standin::int32(3, 1, {1, 1, 1}), standin::int32(0, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 3u);
}

TEST(FrontierEntry, BadInput) {
  for (const char* f : {"lattice_frontier", "lattice_frontier_full"}) {
    const std::string p = f;
    expect_error(f, p + ":nargin", args(standin::int32(1, 1, {1})));
    expect_error(f, p + ":nargout", args(standin::int32(1, 1, {1}), standin::int32(1, 1, {3})), 2);
    expect_error(f, p + ":notInt32", args(standin::real(1, 1, {1}), standin::int32(1, 1, {3})));
    expect_error(f, p + ":notInt32", args(standin::int32(1, 1, {1}), standin::real(1, 1, {3})));
    expect_error(f, p + ":notInt32", args(standin::int32(1, 1, {1}), standin::uint64(1, 1, {3})));
  }
  // Two active dimensions need two bounds; the full variant needs one per row.
  const std::vector<int32_t> set{1, 1, 1, 2, 1, 1, 1, 1, 2};
  expect_error("lattice_frontier", "lattice_frontier:shortBounds",
               args(standin::int32(3, 3, set), standin::int32(1, 1, {5})));
  expect_error("lattice_frontier_full", "lattice_frontier_full:shortBounds",
               args(standin::int32(3, 3, set), standin::int32(1, 2, {5, 5})));
  ok_call("lattice_frontier", 1, args(standin::int32(3, 3, set), standin::int32(1, 2, {5, 5})));
  auto r = standin::call("lattice_frontier", 1, args(standin::int32(3, 3, set), standin::int32(1, 1, {5})));
  EXPECT_EQ(r.error_text, "bounds has 1 entries but 2 are needed (one per active dimension of index_set).");
}

// A set written from 0 is refused: it got a plausible but wrong list (the
// closure test skips coordinates of 1 and below, the unit points are
// 1-based).  lattice_extend only compares, so it still takes any base.
TEST(FrontierEntry, ZeroBasedPointsAreRefused) {
  const std::vector<int32_t> from_zero{0, 0, 1, 0, 0, 1};   // (0,0), (1,0), (0,1)
  for (const char* f : {"lattice_frontier", "lattice_frontier_full"}) {
    auto r = standin::call(f, 1, args(standin::int32(2, 3, from_zero), standin::int32(1, 2, {9, 9})));
    eegtest::expect_error(r, std::string(f) + ":badCoordinate");
    EXPECT_EQ(r.error_text, "index_set holds 0 in row 1 of column 1: coordinates are 1-based (at least 1).");
    expect_error(f, std::string(f) + ":badCoordinate",
                 args(standin::int32(2, 3, {1, 1, 2, 1, 1, -4}), standin::int32(1, 2, {9, 9})));
  }
  auto steps = ok_call("lattice_extend", 1,
                       args(standin::int32(2, 1, {1, 1}), standin::int32(2, 1, {0, 0}), standin::int32(1, 2, {2, 2})));
  EXPECT_EQ(standin::doubles(steps.out(0)), (std::vector<double>{1, 0, 0, 1}));
}

TEST(ExtendEntry, OutputsAndBadInput) {
  auto r = ok_call("lattice_extend", 1,
                   args(standin::int32(2, 1, {2, 2}), standin::int32(2, 1, {1, 1}), standin::int32(1, 2, {3, 3})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{2, 1, 1, 2}));
  r = ok_call("lattice_extend", 1, args(standin::int32(0, 0), standin::int32(0, 0), standin::int32(0, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 0u);
  EXPECT_EQ(shape(r.out(0)).n, 0u);
  r = ok_call("lattice_extend", 1, args(standin::int32(2, 0), standin::int32(1, 3, {1, 1, 9}), standin::int32(2, 1, {3, 1})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{2, 1}));

  const char* f = "lattice_extend";
  expect_error(f, "lattice_extend:nargin", args(standin::int32(2, 0), standin::int32(2, 1, {1, 1})));
  expect_error(f, "lattice_extend:notInt32", args(standin::int32(2, 0), standin::real(2, 1, {1, 1}), standin::int32(2, 1, {3, 3})));
  expect_error(f, "lattice_extend:shortCurrent", args(standin::int32(2, 0), standin::int32(1, 1, {1}), standin::int32(2, 1, {3, 3})));
  expect_error(f, "lattice_extend:shortMaxima", args(standin::int32(2, 0), standin::int32(2, 1, {1, 1}), standin::int32(1, 1, {3})));
}

TEST(MismatchEntries, OutputsSlotsAndBadInput) {
  auto r = ok_call("lattice_mismatch", 1,
                   args(standin::int32(1, 3, {1, 2, 3}), standin::int32(3, 3, {1, 2, 3, 1, 1, 3, 3, 1, 1})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{0, 1, 3}));
  EXPECT_EQ(shape(r.out(0)).n, 1u);
  r = ok_call("lattice_mismatch", 1, args(standin::int32(1, 2, {1, 2}), standin::int32(2, 0)));
  EXPECT_EQ(shape(r.out(0)).m, 0u);
  EXPECT_EQ(shape(r.out(0)).n, 1u);
  r = ok_call("lattice_mismatch", 1, args(standin::int32(0, 0), standin::int32(0, 3)));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{0, 0, 0}));

  r = ok_call("lattice_nearest", 2, args(standin::int32(2, 1, {1, 2}), standin::int32(2, 2, {2, 2, 1, 1})));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{1}));
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{1}));
  // With one output requested only the first slot is filled.
  for (int nlhs : {0, 1}) {
    r = ok_call("lattice_nearest", nlhs, args(standin::int32(2, 1, {1, 1}), standin::int32(2, 1, {2, 2})));
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{2}));
  }
  r = ok_call("lattice_nearest", 2, args(standin::int32(1, 3, {1, 2, 3}), standin::int32(3, 0)));
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{3}));
  EXPECT_EQ(standin::doubles(r.out(1)), (std::vector<double>{0}));

  for (const char* f : {"lattice_mismatch", "lattice_nearest"}) {
    const std::string p = f;
    expect_error(f, p + ":nargin", args(standin::int32(1, 1, {1})));
    expect_error(f, p + ":notInt32", args(standin::real(1, 2, {1, 2}), standin::int32(2, 1, {1, 2})));
    expect_error(f, p + ":notInt32", args(standin::int32(1, 2, {1, 2}), standin::single(2, 1, {1, 2})));
    expect_error(f, p + ":shortProbe", args(standin::int32(1, 1, {1}), standin::int32(2, 1, {1, 2})));
  }
  expect_error("lattice_nearest", "lattice_nearest:nargout",
               args(standin::int32(1, 1, {1}), standin::int32(1, 1, {1})), 3);
}

}  // namespace
