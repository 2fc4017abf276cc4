// Packed symmetric matrices: the worked examples, bit-exact round trips
// (NaN payloads and signed zeros included), the quadratic form against a
// plain full-matrix sum, and bad input through the stand-in host.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "host/standin/standin.h"
#include "packed/tri.h"
#include "testing/test_util.h"

namespace {

using eegtest::same_bits;
using standin::Array;

std::vector<float> random_floats(size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(-3.f, 3.f);
  std::vector<float> v(count);
  for (float& e : v) e = dist(gen);
  return v;
}

float from_bits(uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}


TEST(Packed, WorkedExamples) {
  const float S[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::vector<float> P(6);
  packed::tri_pack(S, 3, P.data());
  EXPECT_EQ(P, (std::vector<float>{1, 4, 5, 7, 8, 9}));
  std::vector<float> U(9);
  packed::tri_unpack(P.data(), 3, U.data());
  EXPECT_EQ(U, (std::vector<float>{1, 4, 7, 4, 5, 8, 7, 8, 9}));
  const double x[3] = {1, 2, 3};
  EXPECT_EQ(packed::tri_qform(P.data(), x, 3), 256.0);
  const float w = 1.5f;
  const double t = 0.3;
  EXPECT_EQ(packed::tri_qform(&w, &t, 1), (1.5 * 0.3) * 0.3);
  EXPECT_EQ(packed::tri_qform(nullptr, nullptr, 0), 0.0);
  for (int64_t a : {0, 1, 2, 3, 10, 100, 4000, 65535}) EXPECT_EQ(packed::packed_side(packed::packed_length(a)), a);
  // Every side the entries accept is found again from its length.
  for (int64_t a = 1; a <= packed::MAX_PACKED_SIDE; ++a) ASSERT_EQ(packed::packed_side(packed::packed_length(a)), a);
  EXPECT_EQ(packed::MAX_PACKED_LENGTH, 2147450880);
  EXPECT_GT(packed::packed_length(packed::MAX_PACKED_SIDE + 1), 2147483647);
}

TEST(Packed, RoundTripsKeepEveryBit) {
  for (int64_t a : {1, 2, 7, 300, 301}) {
    const size_t L = static_cast<size_t>(packed::packed_length(a));
    auto P = random_floats(L, static_cast<unsigned>(a));
    // Signalling and quiet NaNs with payloads, signed zeros, denormals.
    if (L >= 4) {
      P[0] = from_bits(0x7f800001u);
      P[1] = from_bits(0xffc01234u);
      P[2] = -0.0f;
      P[3] = from_bits(0x00000003u);
    }
    std::vector<float> S(static_cast<size_t>(a * a)), back(L);
    packed::tri_unpack(P.data(), a, S.data());
    for (int64_t j = 0; j < a; ++j)
      for (int64_t i = 0; i < a; ++i) ASSERT_EQ(std::memcmp(&S[i + a * j], &S[j + a * i], 4), 0);
    packed::tri_pack(S.data(), a, back.data());
    EXPECT_TRUE(same_bits(P, back)) << a;
  }
}

TEST(Packed, QuadraticFormMatchesFullSumInItsOrder) {
  const int64_t a = 257;
  auto P = random_floats(static_cast<size_t>(packed::packed_length(a)), 3);
  std::vector<double> x(a);
  std::mt19937_64 gen(4);
  std::normal_distribution<double> dist;
  for (double& v : x) v = dist(gen);
  // The literal order: one term at a time in packed order.
  double q = 0.0;
  size_t k = 0;
  for (int64_t j = 0; j < a; ++j)
    for (int64_t i = 0; i <= j; ++i, ++k) {
      const double w = P[k];
      q += i == j ? (w * x[j]) * x[j] : ((w * 2.0) * x[i]) * x[j];
    }
  EXPECT_EQ(packed::tri_qform(P.data(), x.data(), a), q);
  // And the same value as x'Sx on the unpacked matrix, to rounding.
  std::vector<float> S(static_cast<size_t>(a * a));
  packed::tri_unpack(P.data(), a, S.data());
  double full = 0;
  for (int64_t j = 0; j < a; ++j)
    for (int64_t i = 0; i < a; ++i) full += x[i] * S[i + a * j] * x[j];
  EXPECT_NEAR(packed::tri_qform(P.data(), x.data(), a), full, 1e-9 * std::fabs(full) + 1e-9);
}

TEST(PackedEntries, ShapesAndSlots) {
  auto p = standin::call("tri_pack_f32", 1, {standin::single(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9})});
  ASSERT_TRUE(p.ok) << p.error_text;
  EXPECT_TRUE(p.clean());
  EXPECT_EQ(mxGetClassID(p.out(0)), mxSINGLE_CLASS);
  EXPECT_EQ(mxGetN(p.out(0)), 1u);
  EXPECT_EQ(standin::singles(p.out(0)), (std::vector<float>{1, 4, 5, 7, 8, 9}));
  // Extra columns are ignored; the strictly lower triangle is never read.
  auto wide = standin::call("tri_pack_f32", 0, {standin::single(2, 3, {1, 99, 2, 3, 7, 7})});
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(standin::singles(wide.out(0)), (std::vector<float>{1, 2, 3}));

  auto u = standin::call("tri_unpack_f32", 1, {standin::single(6, 1, {1, 4, 5, 7, 8, 9})});
  ASSERT_TRUE(u.ok) << u.error_text;
  EXPECT_TRUE(u.clean());
  EXPECT_EQ(mxGetM(u.out(0)), 3u);
  EXPECT_EQ(standin::singles(u.out(0)), (std::vector<float>{1, 4, 7, 4, 5, 8, 7, 8, 9}));
  // A row is a packed vector as well.
  auto row = standin::call("tri_unpack_f32", 1, {standin::single(1, 3, {5, 6, 7})});
  ASSERT_TRUE(row.ok);
  EXPECT_EQ(standin::singles(row.out(0)), (std::vector<float>{5, 6, 6, 7}));

  auto q = standin::call("tri_qform_f32", 1, {standin::single(6, 1, {1, 4, 5, 7, 8, 9}), standin::real(3, 1, {1, 2, 3})});
  ASSERT_TRUE(q.ok) << q.error_text;
  EXPECT_TRUE(q.clean());
  EXPECT_EQ(standin::doubles(q.out(0)), (std::vector<double>{256}));
  // Extra packed entries are ignored.
  auto longer = standin::call("tri_qform_f32", 0, {standin::single(1, 4, {2, 9, 9, 9}), standin::real(1, 1, {3})});
  EXPECT_EQ(standin::doubles(longer.out(0)), (std::vector<double>{18}));

  // Empty cases.
  auto e1 = standin::call("tri_pack_f32", 1, {standin::single(0, 0)});
  EXPECT_EQ(mxGetM(e1.out(0)), 0u);
  EXPECT_EQ(mxGetN(e1.out(0)), 1u);
  auto e2 = standin::call("tri_unpack_f32", 1, {standin::single(0, 1)});
  EXPECT_EQ(mxGetM(e2.out(0)), 0u);
  EXPECT_EQ(mxGetN(e2.out(0)), 0u);
  auto e3 = standin::call("tri_qform_f32", 1, {standin::single(0, 1), standin::real(0, 1)});
  EXPECT_EQ(standin::doubles(e3.out(0)), (std::vector<double>{0}));
}

// A packed vector or an x given as a row was read as its first element (a
// 1-by-1 result, no error); a matrix in place of either (S for P, say) as the
// start of its first column.  Rows now count in full; matrices are refused.
TEST(PackedEntries, RowsCountInFullAndMatricesAreRefused) {
  const std::vector<float> packed{1, 4, 5, 7, 8, 9};
  auto row = standin::call("tri_unpack_f32", 1, {standin::single(1, 6, packed)});
  ASSERT_TRUE(row.ok) << row.error_text;
  EXPECT_EQ(mxGetM(row.out(0)), 3u);
  EXPECT_EQ(standin::singles(row.out(0)), (std::vector<float>{1, 4, 7, 4, 5, 8, 7, 8, 9}));
  auto q = standin::call("tri_qform_f32", 1, {standin::single(1, 6, packed), standin::real(1, 3, {1, 2, 3})});
  ASSERT_TRUE(q.ok) << q.error_text;
  EXPECT_EQ(standin::doubles(q.out(0)), (std::vector<double>{256}));
  eegtest::expect_error(standin::call("tri_unpack_f32", 1, {standin::single(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9})}),
                        "tri_unpack_f32:notVector");
  eegtest::expect_error(standin::call("tri_qform_f32", 1, {standin::single(6, 1, packed), standin::real(3, 2)}),
                        "tri_qform_f32:notVector");
}

TEST(PackedEntries, BadInputIsRefusedWithIdentifier) {
  struct Case { const char* module; const char* id; std::vector<Array> in; };
  std::vector<Case> cases;
  auto add = [&](const char* module, const char* id, Array a, Array b = nullptr) {
    Case c{module, id, {}};
    c.in.push_back(std::move(a));
    if (b) c.in.push_back(std::move(b));
    cases.push_back(std::move(c));
  };
  add("tri_pack_f32", "tri_pack_f32:notSingle", standin::real(2, 2, {1, 2, 3, 4}));
  add("tri_pack_f32", "tri_pack_f32:notSquare", standin::single(3, 2, {1, 2, 3, 4, 5, 6}));
  add("tri_pack_f32", "tri_pack_f32:notSquare", standin::single(2, 0));
  add("tri_unpack_f32", "tri_unpack_f32:notSingle", standin::real(3, 1, {1, 2, 3}));
  add("tri_unpack_f32", "tri_unpack_f32:notTriangular", standin::single(2, 1, {1, 2}));
  add("tri_unpack_f32", "tri_unpack_f32:notTriangular", standin::single(4, 1, {1, 2, 3, 4}));
  add("tri_unpack_f32", "tri_unpack_f32:notTriangular", standin::single(3, 0));
  add("tri_qform_f32", "tri_qform_f32:nargin", standin::single(3, 1, {1, 2, 3}));
  add("tri_qform_f32", "tri_qform_f32:shortPacked", standin::single(5, 1, {1, 2, 3, 4, 5}), standin::real(3, 1, {1, 2, 3}));
  add("tri_qform_f32", "tri_qform_f32:notSingle", standin::real(6, 1, {1, 2, 3, 4, 5, 6}), standin::real(3, 1, {1, 2, 3}));
  add("tri_qform_f32", "tri_qform_f32:notDouble", standin::single(6, 1, {1, 2, 3, 4, 5, 6}), standin::single(3, 1, {1, 2, 3}));
  add("tri_qform_f32", "tri_qform_f32:notDouble", standin::single(6, 1, {1, 2, 3, 4, 5, 6}), standin::complex(3, 1));
  add("tri_qform_f32", "tri_qform_f32:emptyX", standin::single(6, 1, {1, 2, 3, 4, 5, 6}), standin::real(3, 0));
  for (Case& c : cases) {
    auto r = standin::call(c.module, 1, c.in);
    EXPECT_FALSE(r.ok) << c.id;
    EXPECT_EQ(r.error_id, c.id);
    EXPECT_TRUE(r.clean()) << c.id;
  }
  for (const char* m : {"tri_pack_f32", "tri_unpack_f32"})
    EXPECT_EQ(standin::call(m, 1, std::vector<Array>{}).error_id, std::string(m) + ":nargin");
}

// Each deliverable has one output; a second is refused before anything is
// made, instead of the host's complaint about an undefined element.
TEST(PackedEntries, SecondOutputIsRefused) {
  auto args = [](Array a, Array b = nullptr) {
    std::vector<Array> v;
    v.push_back(std::move(a));
    if (b) v.push_back(std::move(b));
    return v;
  };
  eegtest::expect_error(standin::call("tri_pack_f32", 2, args(standin::single(1, 1, {1}))), "tri_pack_f32:nargout");
  eegtest::expect_error(standin::call("tri_unpack_f32", 2, args(standin::single(1, 1, {1}))), "tri_unpack_f32:nargout");
  auto r = standin::call("tri_qform_f32", 3, args(standin::single(1, 1, {1}), standin::real(1, 1, {2})));
  eegtest::expect_error(r, "tri_qform_f32:nargout");
  EXPECT_EQ(r.error_text, "At most 1 output: q = tri_qform_f32(P, x).");
}

}  // namespace
