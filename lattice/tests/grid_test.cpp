#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "lattice/grid.h"
#include "testing/lattice_reference.h"

namespace {

std::vector<double> coords(const std::vector<double>& dims, const std::vector<double>& idx) {
  std::vector<double> out(dims.size() * idx.size(), -1.0);
  lattice::coords_of_indices(dims.data(), dims.size(), idx.data(), idx.size(), out.data());
  return out;
}

TEST(Grid, WorkedExamples) {
  EXPECT_EQ(coords({2, 2, 2}, {6}), (std::vector<double>{2, 1, 2}));
  EXPECT_EQ(coords({3, 4}, {7}), (std::vector<double>{1, 3}));
  EXPECT_EQ(coords({3, 4}, {7, 7}), (std::vector<double>{1, 1, 3, 3}));
  EXPECT_EQ(coords({1, 2}, {1, 2}), (std::vector<double>{1, 1, 1, 2}));
  EXPECT_EQ(coords({2, 1, 3}, {6, 1}), (std::vector<double>{2, 1, 1, 1, 3, 1}));
  EXPECT_TRUE(coords({3, 4}, {}).empty());
  // Non-integral indices truncate, as the single-index arithmetic does.
  EXPECT_EQ(coords({3, 4}, {7.9}), (std::vector<double>{1, 3}));
}

TEST(Grid, CheckRefusesBadExtentsAndOverflow) {
  int32_t total = 0;
  size_t where = 99;
  const double inf = std::numeric_limits<double>::infinity();
  for (double bad : {0.0, -1.0, 2.5, 0.5, std::nan(""), inf, -inf, 2147483648.0}) {
    const double dims[] = {3, bad, 2};
    EXPECT_EQ(lattice::check_grid(dims, 3, total, where), lattice::GridCheck::bad_extent) << bad;
    EXPECT_EQ(where, 1u);
  }
  std::vector<double> twos(30, 2.0);
  ASSERT_EQ(lattice::check_grid(twos.data(), 30, total, where), lattice::GridCheck::ok);
  EXPECT_EQ(total, 1 << 30);
  twos.push_back(2.0);
  EXPECT_EQ(lattice::check_grid(twos.data(), 31, total, where), lattice::GridCheck::too_many_cells);
  EXPECT_EQ(where, 30u);
  const double big[] = {2147483647.0, 1.0};
  ASSERT_EQ(lattice::check_grid(big, 2, total, where), lattice::GridCheck::ok);
  EXPECT_EQ(total, 2147483647);
  const double wraps[] = {65536, 65536, 1};  // 2^32 would wrap to 0 in 32 bits
  EXPECT_EQ(lattice::check_grid(wraps, 3, total, where), lattice::GridCheck::too_many_cells);
  ASSERT_EQ(lattice::check_grid(nullptr, 0, total, where), lattice::GridCheck::ok);
  EXPECT_EQ(total, 1);

  EXPECT_TRUE(lattice::index_in_grid(1, 12));
  EXPECT_TRUE(lattice::index_in_grid(12.7, 12));
  for (double bad : {0.0, 0.9, -1.0, 13.0, std::nan(""), inf}) EXPECT_FALSE(lattice::index_in_grid(bad, 12)) << bad;
}

// Every method of the tabulating version (all-two, one-or-two, general) and
// the single-index arithmetic against direct computation, on random grids,
// including whole-grid sweeps.
TEST(Grid, MatchesTabulatingVersion) {
  std::mt19937 gen(7);
  auto check = [](const std::vector<double>& dims, const std::vector<double>& idx) {
    auto ref = lattice_ref::linidx_coords(dims.data(), static_cast<int32_t>(dims.size()), idx.data(),
                                          static_cast<int32_t>(idx.size()));
    EXPECT_EQ(coords(dims, idx), ref.v) << "n=" << dims.size() << " m=" << idx.size();
  };
  for (int trial = 0; trial < 300; ++trial) {
    const int kind = trial % 4;  // all two, one or two, general, powers of two
    const size_t n = 1 + gen() % 6;
    std::vector<double> dims(n);
    double total = 1;
    for (double& d : dims) {
      switch (kind) {
        case 0: d = 2; break;
        case 1: d = 1 + gen() % 2; break;
        case 2: d = 1 + gen() % 6; break;
        default: d = static_cast<double>(1 << (gen() % 4)); break;
      }
    }
    if (kind == 1) dims[gen() % n] = 1;
    for (double d : dims) total *= d;
    std::vector<double> all(static_cast<size_t>(total));
    for (size_t t = 0; t < all.size(); ++t) all[t] = static_cast<double>(t + 1);
    check(dims, all);
    std::vector<double> some(gen() % 20);
    for (double& v : some) v = 1 + gen() % static_cast<uint32_t>(total);
    check(dims, some);
    check(dims, {static_cast<double>(1 + gen() % static_cast<uint32_t>(total))});
  }
}

// The conversion runs across indices in blocks and vector lanes, dividing by
// a reciprocal with one correction step.  Against the literal procedure:
// lists whose lengths sit at the lane and block edges on power-of-two and
// mixed grids (tabulating version), and on the largest grids, where the
// reciprocal's rounding matters most, the cells on both sides of every
// multiple of each stride near the top and a random sample (single-index
// arithmetic, since those grids are too large to tabulate).
TEST(Grid, DirectConversionMatchesLiteralAtEdgesAndOnLargestGrids) {
  std::mt19937 gen(23);
  const std::vector<std::vector<double>> small{{4, 4, 4, 4, 4}, {2, 8, 1, 16}, {7, 9, 11, 13}, {3, 1, 5, 2, 6}, {1021}};
  for (const auto& dims : small) {
    double total = 1;
    for (double d : dims) total *= d;
    for (size_t m : {0, 2, 3, 4, 5, 511, 512, 513, 1023, 1024, 1025, 1537}) {
      std::vector<double> idx(m);
      for (double& v : idx) v = 1 + gen() % static_cast<uint32_t>(total) + (gen() % 4) * 0.25;
      auto ref = lattice_ref::linidx_coords(dims.data(), static_cast<int32_t>(dims.size()), idx.data(),
                                            static_cast<int32_t>(m));
      EXPECT_EQ(coords(dims, idx), ref.v) << "m=" << m;
    }
  }
  const std::vector<std::vector<double>> largest{{2147483647},         {46341, 46340},   {65535, 32767},
                                                 {3, 715827882},       {715827882, 3},   {2, 1073741823},
                                                 {1073741823, 2},      {1, 2147483647},  {2147483647, 1},
                                                 {65536, 32767},       {7, 13, 1021, 23011}, {1031, 1033, 2011},
                                                 {2, 2, 2, 268435455}, {46337, 3, 15447}};
  for (const auto& dims : largest) {
    int32_t total = 1;
    size_t where = 0;
    ASSERT_EQ(lattice::check_grid(dims.data(), dims.size(), total, where), lattice::GridCheck::ok);
    std::vector<double> idx;
    double stride = 1;
    for (double d : dims) {
      for (double k : {1.0, 2.0, d - 1, d, std::floor(total / stride) - 1, std::floor(total / stride)})
        for (double off : {-1.0, 0.0, 1.0}) {
          const double t = k * stride + off;  // 0-based cell
          if (t >= 0 && t < total) idx.push_back(t + 1);
        }
      stride *= d;
    }
    for (int k = 0; k < 3000; ++k) idx.push_back(1 + gen() % static_cast<uint32_t>(total));
    idx.push_back(total);
    auto got = coords(dims, idx);
    const size_t n = dims.size(), m = idx.size();
    for (size_t l = 0; l < m; ++l) {
      auto ref = lattice_ref::linidx_coords(dims.data(), static_cast<int32_t>(n), &idx[l], 1);
      for (size_t k = 0; k < n; ++k) ASSERT_EQ(got[l + k * m], ref.v[k]) << "index " << idx[l] << " dim " << k;
    }
  }
}

TEST(Grid, LargeGridsNeedNoTable) {
  // 2^30 cells: the corners and a few interior cells.
  std::vector<double> twos(30, 2.0);
  auto c = coords(twos, {1, 1073741824, 1073741823});
  for (size_t k = 0; k < 30; ++k) {
    EXPECT_EQ(c[0 + 3 * k], 1.0);
    EXPECT_EQ(c[1 + 3 * k], 2.0);
    EXPECT_EQ(c[2 + 3 * k], k == 0 ? 1.0 : 2.0);
  }
  // Mixed extents near the 32-bit limit: coordinates rebuild the index.
  const std::vector<double> dims{7, 1, 13, 1021, 23011};
  std::vector<double> idx{1, 1e9, 2137975021, 123456789};  // the last cell is 7*13*1021*23011
  auto d = coords(dims, idx);
  for (size_t l = 0; l < idx.size(); ++l) {
    double t = 0, stride = 1;
    for (size_t k = 0; k < dims.size(); ++k) {
      t += (d[l + k * idx.size()] - 1) * stride;
      stride *= dims[k];
    }
    EXPECT_EQ(t + 1, std::trunc(idx[l])) << l;
  }
}

}  // namespace
