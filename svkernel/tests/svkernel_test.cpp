#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "host/standin/standin.h"
#include "svkernel/kernel.h"
#include "svkernel/registry.h"
#include "testing/gram_reference.h"
#include "testing/test_util.h"

namespace {

using eegtest::random_data;
using eegtest::same_bits;
using standin::Array;
using svkernel::feature_entry;
using svkernel::kernel_parm;

const char* const NULL_VALUE = "Error: restoreArray returned NULL array to restoreValue";

kernel_parm parm(int32_t type, int32_t degree = 2, double gamma = 0.5, double lin = 1.0, double cst = 1.0) {
  kernel_parm p{};
  p.kernel_type = type;
  p.poly_degree = degree;
  p.rbf_gamma = gamma;
  p.coef_lin = lin;
  p.coef_const = cst;
  return p;
}



// ---------------------------------------------------------------------------
// Core: dot products and kernel functions.

std::vector<feature_entry> dense(std::vector<float> values) {
  std::vector<feature_entry> list;
  for (size_t k = 0; k < values.size(); ++k) list.push_back({static_cast<int32_t>(k + 1), values[k]});
  list.push_back({0, 0.0f});
  return list;
}

svkernel::sparse_vector vec(std::vector<feature_entry>& list) {
  svkernel::sparse_vector v{};
  v.entries = list.data();
  v.sq_norm = svkernel::sparseDot(list.data(), list.data());
  v.factor = 1.0;
  return v;
}

TEST(Kernel, DotProductsAndWorkedValues) {
  auto a = dense({1, 2, 3}), b = dense({4, 5, 6});
  EXPECT_EQ(svkernel::sparseDot(a.data(), b.data()), 32.0f);
  auto c = dense({3, 4});
  EXPECT_EQ(svkernel::sparseDot(c.data(), c.data()), 25.0f);
  // Disjoint features: nothing in common.
  std::vector<feature_entry> odd = {{1, 2.0f}, {3, 5.0f}, {0, 0}}, even = {{2, 7.0f}, {4, 1.0f}, {0, 0}};
  EXPECT_EQ(svkernel::sparseDot(odd.data(), even.data()), 0.0f);
  // Lists of different lengths: the longer one's tail plays no part.
  auto shorter = dense({1, 2}), longer = dense({3, 4, 100});
  EXPECT_EQ(svkernel::sparseDot(shorter.data(), longer.data()), 11.0f);

  auto x = dense({1, 2}), y = dense({3, 4});
  auto vx = vec(x), vy = vec(y);
  EXPECT_EQ(svkernel::evalKernel(parm(1, 2, 0, 1, 1), vx, vy), 144.0f);
  EXPECT_EQ(svkernel::evalKernel(parm(0), vx, vy), 11.0f);
  EXPECT_EQ(svkernel::evalKernel(parm(2, 2, 0.37), vy, vy), 1.0f);
  EXPECT_EQ(svkernel::evalKernel(parm(4), vx, vy), 1.0f);
  auto z = dense({0, 0});
  auto vz = vec(z);
  EXPECT_EQ(svkernel::evalKernel(parm(1, 0, 0, 1, 0), vz, vz), 1.0f);  // pow(0, 0)

  auto vo = vec(odd), ve = vec(even);
  EXPECT_EQ(svkernel::evalKernel(parm(1, 3, 0, 2.0, 1.5), vo, ve), static_cast<float>(std::pow(1.5, 3.0)));
  EXPECT_EQ(svkernel::evalKernel(parm(3, 0, 0, 2.0, 0.25), vo, ve), static_cast<float>(std::tanh(0.25)));
  EXPECT_EQ(svkernel::evalKernel(parm(2, 0, 0.01), vo, ve), static_cast<float>(std::exp(-(0.01 * (29.0 + 50.0)))));

  auto tenth = dense({0.1f});
  auto vt = vec(tenth);
  EXPECT_EQ(static_cast<double>(svkernel::evalKernel(parm(0), vt, vt)), 0.010000000707805157);

  EXPECT_TRUE(svkernel::kernelKnown(0));
  EXPECT_TRUE(svkernel::kernelKnown(4));
  EXPECT_FALSE(svkernel::kernelKnown(5));
  EXPECT_FALSE(svkernel::kernelKnown(-1));
}

TEST(Kernel, TruncationAndPositions) {
  EXPECT_EQ(svkernel::truncToInt32(2.9), 2);
  EXPECT_EQ(svkernel::truncToInt32(-2.9), -2);
  EXPECT_EQ(svkernel::truncToInt32(2147483647.5), 2147483647);
  EXPECT_EQ(svkernel::truncToInt32(std::nan("")), INT32_MIN);
  EXPECT_EQ(svkernel::truncToInt32(1e12), INT32_MIN);
  EXPECT_EQ(svkernel::checkedIndex(3, 3, 2, 2), 8);
  EXPECT_EQ(svkernel::checkedIndex(3, 3, 3, 2), -1);
  EXPECT_EQ(svkernel::checkedIndex(50000, 50000, 49999, 49999), 2499999999LL);
  // The widest column count a matrix may have (an X of no rows can have it).
  EXPECT_EQ(svkernel::gramThreads(0, INT32_MAX), 1);
  EXPECT_GE(svkernel::gramThreads(1, INT32_MAX), 1);
}

// The blocked, threaded Gram matrix against the literal per-pair procedure,
// for every kernel type, across block edges, with and without threads.
TEST(Kernel, BlockedGramMatchesLiteralProcedureBitForBit) {
  const svkernel_ref::Kernel kinds[] = {{0, 0, 0, 0, 0}, {1, 3, 0, 0.3, 0.7}, {2, 0, 0.05, 0, 0},
                                        {3, 0, 0, 0.02, -0.4}, {4, 0, 0, 0, 0}, {2, 0, 1.7, 0, 0}};
  struct Shape { int32_t M, N; };
  for (const Shape& sh : {Shape{1, 1}, Shape{3, 0}, Shape{7, 5}, Shape{8, 3}, Shape{9, 17}, Shape{33, 64},
                          Shape{61, 11}}) {
    auto X = random_data(static_cast<size_t>(sh.M) * sh.N, 100 + sh.M, 3.0);
    if (sh.M > 3 && sh.N > 0)  // a repeated row and a zero row
      for (int32_t k = 0; k < sh.N; ++k) {
        X[2 + static_cast<size_t>(k) * sh.M] = X[0 + static_cast<size_t>(k) * sh.M];
        X[3 + static_cast<size_t>(k) * sh.M] = 0.0;
      }
    // Rows as the row converter makes them.
    std::vector<std::vector<feature_entry>> lists;
    std::vector<svkernel::sparse_vector> vecs(sh.M);
    std::vector<svkernel::example> exs(sh.M);
    std::vector<const svkernel::example*> rows;
    for (int32_t i = 0; i < sh.M; ++i) {
      std::vector<float> v;
      for (int32_t k = 0; k < sh.N; ++k) v.push_back(static_cast<float>(X[i + static_cast<size_t>(k) * sh.M]));
      lists.push_back(dense(v));
    }
    for (int32_t i = 0; i < sh.M; ++i) {
      vecs[i] = vec(lists[i]);
      exs[i] = svkernel::example{i, 0, 0, 1.0, &vecs[i]};
      rows.push_back(&exs[i]);
    }
    std::vector<float> packed(svkernel::gramPackedFloats(sh.M, sh.N));
    std::vector<double> sq(sh.M);
    svkernel::packRows(rows.data(), sh.M, sh.N, packed.data(), sq.data());
    for (const auto& k : kinds) {
      auto expected = svkernel_ref::gram(k, X.data(), sh.M, sh.N);
      const kernel_parm p = parm(k.type, k.degree, k.gamma, k.coef_lin, k.coef_const);
      for (int threads : {1, 3}) {
        std::vector<double> K(static_cast<size_t>(sh.M) * sh.M, -7.0);
        svkernel::gramDense(p, packed.data(), sq.data(), sh.M, sh.N, K.data(), threads);
        EXPECT_TRUE(same_bits(K, expected)) << "M=" << sh.M << " N=" << sh.N << " type " << k.type
                                            << " threads " << threads;
      }
      // One pair through evalKernel, the entry point of gram_pair.
      if (sh.M > 1) {
        EXPECT_EQ(static_cast<double>(svkernel::evalKernel(p, vecs[sh.M - 1], vecs[1])),
                  expected[(sh.M - 1) + static_cast<size_t>(sh.M)]);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The entries through the stand-in host.

Array kernel_struct(double type, double degree = 2, double gamma = 0.5, double lin = 1, double cst = 1,
                    const std::vector<std::string>& skip = {}) {
  std::vector<std::string> names;
  for (const char* f : {"kernel_type", "poly_degree", "rbf_gamma", "coef_lin", "coef_const", "custom"})
    if (std::find(skip.begin(), skip.end(), f) == skip.end()) names.push_back(f);
  Array k = standin::empty_struct_array(names);
  auto put = [&](const char* f, Array v) {
    if (std::find(skip.begin(), skip.end(), f) == skip.end()) standin::set_field(k.get(), f, std::move(v));
  };
  put("kernel_type", standin::scalar(type));
  put("poly_degree", standin::scalar(degree));
  put("rbf_gamma", standin::scalar(gamma));
  put("coef_lin", standin::scalar(lin));
  put("coef_const", standin::scalar(cst));
  put("custom", standin::text("empty"));
  return k;
}

// A complete model struct; fields named in `skip` are left out.
Array model(Array kernel, const std::vector<std::string>& skip = {}) {
  const std::vector<std::string> all = {"sv_num", "upper_bound", "b", "totwords", "totdoc", "loo_error",
                                        "loo_recall", "xa_error", "xa_recall", "xa_precision", "maxdiff",
                                        "r_delta_sq", "r_delta_avg", "model_length", "loss", "vcdim", "alpha",
                                        "lin_weights", "index", "kernel_parm", "supvec"};
  std::vector<std::string> names;
  for (const auto& f : all)
    if (std::find(skip.begin(), skip.end(), f) == skip.end()) names.push_back(f);
  Array m = standin::empty_struct_array(names);
  for (const auto& f : names) {
    if (f == "kernel_parm") standin::set_field(m.get(), f, std::move(kernel));
    else if (f == "alpha") standin::set_field(m.get(), f, standin::real(3, 1, {0, 0.5, -0.5}));
    else if (f == "lin_weights") standin::set_field(m.get(), f, standin::real(1, 3, {0, 1, 2}));
    else if (f == "index") standin::set_field(m.get(), f, standin::real(1, 3, {-1, 0, 1}));
    else if (f == "supvec") standin::set_field(m.get(), f, standin::real(2, 2, {1, 3, 2, 4}));
    else if (f == "sv_num") standin::set_field(m.get(), f, standin::scalar(2.9));
    else standin::set_field(m.get(), f, standin::scalar(0.25));
  }
  return m;
}

Array linear_model() { return model(kernel_struct(0)); }

void expect_tidy(const standin::Result& r) {
  EXPECT_TRUE(r.clean());
  EXPECT_EQ(r.host_blocks_reclaimed, 0);
}

TEST(GramEntries, WorkedExamples) {
  auto r = standin::call("gram_square", 1, {standin::real(2, 2, {1, 3, 2, 4}), linear_model()});
  ASSERT_TRUE(r.ok) << r.error_text;
  expect_tidy(r);
  EXPECT_EQ(r.printed, "");
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{5, 11, 11, 25}));

  r = standin::call("gram_square", 0, {standin::scalar(0.1), linear_model()});
  ASSERT_TRUE(r.ok) << r.error_text;
  EXPECT_EQ(standin::doubles(r.out(0))[0], 0.010000000707805157);

  r = standin::call("gram_pair", 1, {standin::real(2, 2, {1, 100, 2, 100}), standin::real(1, 2, {3, 4}),
                                     linear_model()});
  ASSERT_TRUE(r.ok) << r.error_text;
  expect_tidy(r);
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{11}));

  r = standin::call("gram_pair", 1, {standin::real(1, 2, {1, 2}), standin::real(1, 2, {3, 4}),
                                     model(kernel_struct(1, 2, 0, 1, 1))});
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{144}));

  // Radial: the diagonal is exactly 1.
  auto X = random_data(40 * 6, 5, 10.0);
  r = standin::call("gram_square", 1, {standin::real(40, 6, X), model(kernel_struct(2, 0, 0.3))});
  ASSERT_TRUE(r.ok) << r.error_text;
  auto K = standin::doubles(r.out(0));
  for (int i = 0; i < 40; ++i) EXPECT_EQ(K[i + 40 * i], 1.0);

  // Rows of different lengths: y's third feature adds to its norm only.
  r = standin::call("gram_pair", 1, {standin::real(1, 2, {1, 2}), standin::real(1, 3, {1, 2, 2}),
                                     model(kernel_struct(2, 0, 0.5))});
  EXPECT_EQ(standin::doubles(r.out(0))[0], static_cast<double>(static_cast<float>(std::exp(-(0.5 * 4.0)))));
  r = standin::call("gram_pair", 1, {standin::real(1, 2, {1, 2}), standin::real(1, 3, {1, 2, 2}), linear_model()});
  EXPECT_EQ(standin::doubles(r.out(0))[0], 5.0);
}

TEST(GramEntries, EveryKernelTypeMatchesTheLiteralProcedure) {
  const int64_t M = 37, N = 13;
  auto X = random_data(M * N, 9, 2.0);
  const svkernel_ref::Kernel kinds[] = {{0, 0, 0, 0, 0}, {1, 3, 0, 0.25, 1.0}, {2, 0, 0.08, 0, 0},
                                        {3, 0, 0, 0.1, -0.2}, {4, 0, 0, 0, 0}};
  for (const auto& k : kinds) {
    auto r = standin::call("gram_square", 1,
                           {standin::real(M, N, X), model(kernel_struct(k.type, k.degree, k.gamma, k.coef_lin,
                                                                         k.coef_const))});
    ASSERT_TRUE(r.ok) << r.error_text;
    expect_tidy(r);
    EXPECT_TRUE(same_bits(standin::doubles(r.out(0)), svkernel_ref::gram(k, X.data(), M, N))) << k.type;

    // gram_pair: row 0 of x against row 0 of y, y one column longer.
    std::vector<double> y(N + 1);
    for (int64_t c = 0; c < N; ++c) y[c] = X[5 + c * M];
    y[N] = 1.5;
    r = standin::call("gram_pair", 1,
                      {standin::real(M, N, X), standin::real(1, N + 1, y),
                       model(kernel_struct(k.type, k.degree, k.gamma, k.coef_lin, k.coef_const))});
    ASSERT_TRUE(r.ok) << r.error_text;
    auto a = svkernel_ref::row_list(X.data(), M, N, 0), b = svkernel_ref::row_list(y.data(), 1, N + 1, 0);
    EXPECT_EQ(standin::doubles(r.out(0))[0], static_cast<double>(svkernel_ref::kernel(k, a.data(), b.data())))
        << k.type;
  }
}

TEST(GramEntries, ConversionMessages) {
  const auto X = [] { return standin::real(2, 2, {1, 3, 2, 4}); };
  auto r = standin::call("gram_square", 1, {X(), model(kernel_struct(0), {"index"})});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.printed, "Warning: could not retrieve index from the given struct.\n");

  r = standin::call("gram_square", 1, {X(), model(kernel_struct(0), {"supvec"})});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.printed, "Warning: supvec field was not found.");
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{5, 11, 11, 25}));

  r = standin::call("gram_square", 1, {X(), model(kernel_struct(0), {"index", "supvec"})});
  EXPECT_EQ(r.printed, "Warning: could not retrieve index from the given struct.\nWarning: supvec field was not found.");

  for (const char* field : {"vcdim", "sv_num", "loss"}) {
    r = standin::call("gram_square", 1, {X(), model(kernel_struct(0), {field, "index"})});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error_id, "");
    EXPECT_EQ(r.error_text, NULL_VALUE) << field;
    EXPECT_EQ(r.printed, "") << "the scalar fields come before index";
    expect_tidy(r);
  }
  for (const char* field : {"kernel_type", "coef_const", "custom"}) {
    r = standin::call("gram_pair", 1, {X(), X(), model(kernel_struct(0, 2, 0.5, 1, 1, {field}))});
    EXPECT_EQ(r.error_text, NULL_VALUE) << field;
    expect_tidy(r);
  }
  r = standin::call("gram_square", 1, {X(), model(kernel_struct(0), {"kernel_parm"})});
  EXPECT_EQ(r.error_text, NULL_VALUE);
  expect_tidy(r);

  // Not a struct: the model itself, or its kernel_parm.
  r = standin::call("gram_square", 1, {X(), standin::real(2, 2)});
  EXPECT_EQ(r.error_text, "mxStruct is not a struct, it is a double\n");
  expect_tidy(r);
  r = standin::call("gram_pair", 1, {X(), X(), model(standin::text("rbf"))});
  EXPECT_EQ(r.error_text, "mxStruct is not a struct, it is a char\n");

  // index present without data.
  Array m = linear_model();
  standin::set_field(m.get(), "index", standin::real(0, 0));
  r = standin::call("gram_square", 1, {X(), std::move(m)});
  EXPECT_EQ(r.error_text, "Error allocating lArray or dArray");
  expect_tidy(r);
}

TEST(GramEntries, FieldsThatCannotBeReadSafely) {
  const auto X = [] { return standin::real(2, 2, {1, 3, 2, 4}); };
  // A field of another class than double would be read past its end.
  Array m = linear_model();
  standin::set_field(m.get(), "sv_num", standin::int32(1, 1, {3}));
  auto r = standin::call("gram_square", 1, {X(), std::move(m)});
  EXPECT_EQ(r.error_id, "gram_square:fieldNotDouble");
  expect_tidy(r);
  m = linear_model();
  standin::set_field(m.get(), "index", standin::single(1, 3, {1, 2, 3}));
  r = standin::call("gram_pair", 1, {X(), X(), std::move(m)});
  EXPECT_EQ(r.error_id, "gram_pair:fieldNotDouble");
  expect_tidy(r);
  m = linear_model();
  standin::set_field(m.get(), "supvec", standin::sparse(2, 2, {0}, {1}, {1.0}));
  r = standin::call("gram_square", 1, {X(), std::move(m)});
  EXPECT_EQ(r.error_id, "gram_square:fieldNotDouble");

  // A long custom text is cut; a custom that is not text is taken as empty.
  Array k = kernel_struct(0);
  standin::set_field(k.get(), "custom", standin::text(std::string(300, 'c')));
  r = standin::call("gram_square", 1, {X(), model(std::move(k))});
  ASSERT_TRUE(r.ok) << r.error_text;
  expect_tidy(r);
  k = kernel_struct(0);
  standin::set_field(k.get(), "custom", standin::scalar(7));
  r = standin::call("gram_square", 1, {X(), model(std::move(k))});
  ASSERT_TRUE(r.ok) << r.error_text;

  // An empty struct array has no element to read: its fields count as absent.
  r = standin::call("gram_square", 1, {X(), standin::Array(mxCreateStructMatrix(0, 0, 0, nullptr))});
  EXPECT_EQ(r.error_text, NULL_VALUE);
}

TEST(GramEntries, UnknownKernelAndEmptyData) {
  for (double type : {5.0, -1.0, std::nan("")}) {
    auto r = standin::call("gram_square", 1, {standin::real(2, 2, {1, 3, 2, 4}), model(kernel_struct(type))});
    EXPECT_EQ(r.error_text, "ERR-005 - unknown kernel function");
    expect_tidy(r);
    r = standin::call("gram_pair", 1, {standin::real(1, 2, {1, 2}), standin::real(1, 2), model(kernel_struct(type))});
    EXPECT_EQ(r.error_text, "ERR-005 - unknown kernel function");
    expect_tidy(r);
  }
  // No rows: no kernel value is computed, so even an unknown type passes.
  for (size_t n : {0, 3}) {
    auto r = standin::call("gram_square", 1, {standin::real(0, n), model(kernel_struct(5))});
    ASSERT_TRUE(r.ok) << r.error_text;
    expect_tidy(r);
    EXPECT_EQ(mxGetM(r.out(0)), 0u);
    EXPECT_EQ(mxGetN(r.out(0)), 0u);
  }
  // No columns: every dot product is 0.
  auto r = standin::call("gram_square", 1, {standin::real(3, 0), model(kernel_struct(2, 0, 1.0))});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>(9, 1.0));
}

// Failures come in this order: model conversion (its warnings printed on the
// way), then the conversion of the data rows, then the first kernel value.
TEST(GramEntries, FailuresComeInConversionThenKernelOrder) {
  const auto X = [] { return standin::real(2, 2, {1, 3, 2, 4}); };
  auto r = standin::call("gram_square", 1, {X(), model(kernel_struct(5), {"vcdim"})});
  EXPECT_EQ(r.error_text, NULL_VALUE);
  r = standin::call("gram_pair", 1, {X(), X(), model(kernel_struct(5), {"index", "supvec"})});
  EXPECT_EQ(r.error_text, "ERR-005 - unknown kernel function");
  EXPECT_EQ(r.printed, "Warning: could not retrieve index from the given struct.\nWarning: supvec field was not found.");
  expect_tidy(r);

  // Every allocation of the conversions, up to the last row of the data,
  // comes before the unknown kernel type is noticed: more data rows, more
  // allocations that can fail first.
  auto first_kernel_error = [](const char* name, size_t rows) {
    const std::vector<double> data(rows * 2, 1.0);
    for (long n = 1; n < 1000; ++n) {
      standin::fail_nth_malloc(n);
      auto r = std::string(name) == "gram_square"
                   ? standin::call(name, 1, {standin::real(rows, 2, data), model(kernel_struct(-1))})
                   : standin::call(name, 1, {standin::real(1, 2, {1, 2}), standin::real(rows, 2, data),
                                             model(kernel_struct(-1))});
      standin::reset_faults();
      expect_tidy(r);
      EXPECT_FALSE(r.ok) << name;
      if (r.error_text == "ERR-005 - unknown kernel function") return n;
      EXPECT_EQ(r.error_text, "ERR-007 - Malloc failed, out of memory") << name << " " << n;
    }
    return -1L;
  };
  for (const char* name : {"gram_square", "gram_pair"}) {
    const long two = first_kernel_error(name, 2), four = first_kernel_error(name, 4);
    EXPECT_GT(two, 1) << name;
    EXPECT_GT(four, two) << name;
  }
}

TEST(GramEntries, BadInputIsRefused) {
  auto r = standin::call("gram_square", 1, {standin::real(2, 2)});
  EXPECT_EQ(r.error_id, "gram_square:nargin");
  r = standin::call("gram_pair", 1, {standin::real(1, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_pair:nargin");
  r = standin::call("gram_square", 1, {standin::single(2, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_square:notDouble");
  r = standin::call("gram_square", 1, {standin::complex(2, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_square:notDouble");
  r = standin::call("gram_square", 1, {standin::sparse(2, 2, {0}, {0}, {1.0}), linear_model()});
  EXPECT_EQ(r.error_id, "gram_square:notDouble");
  r = standin::call("gram_pair", 1, {standin::real(1, 2), standin::int32(1, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_pair:notDouble");
  r = standin::call("gram_pair", 1, {standin::real(0, 2), standin::real(1, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_pair:noRows");
  r = standin::call("gram_pair", 1, {standin::real(1, 2), standin::real(0, 0), linear_model()});
  EXPECT_EQ(r.error_id, "gram_pair:noRows");
  EXPECT_TRUE(r.clean());
}

// Every host allocation in turn fails: the call ends with the fixed message,
// having released everything it held, or (past the last one) succeeds.
TEST(GramEntries, FailedAllocationsLeaveNothingBehind) {
  struct Call { const char* name; std::function<standin::Result()> run; };
  const std::vector<Call> calls = {
      {"gram_square", [] { return standin::call("gram_square", 1, {standin::real(3, 2, {1, 2, 3, 4, 5, 6}),
                                                                   model(kernel_struct(2))}); }},
      {"gram_pair", [] { return standin::call("gram_pair", 1, {standin::real(2, 2, {1, 2, 3, 4}),
                                                               standin::real(1, 3, {1, 1, 1}), linear_model()}); }}};
  for (const Call& c : calls) {
    long failures = 0;
    for (long n = 1;; ++n) {
      standin::fail_nth_malloc(n);
      auto r = c.run();
      standin::reset_faults();
      expect_tidy(r);
      if (r.ok) break;
      EXPECT_EQ(r.error_text, "ERR-007 - Malloc failed, out of memory") << c.name << " allocation " << n;
      ++failures;
      ASSERT_LT(n, 1000);
    }
    EXPECT_GT(failures, 20) << c.name;
  }
}

// Long conversions: registering a block takes constant time, so 2e5 rows of
// data or of supvec convert at once; and the registry still frees all.
TEST(GramEntries, LongConversionsCompleteAndReleaseEverything) {
  const size_t rows = 200000;
  auto r = standin::call("gram_pair", 1, {standin::real(rows, 1), standin::scalar(1), linear_model()});
  ASSERT_TRUE(r.ok) << r.error_text;
  expect_tidy(r);
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>{0});
  Array m = linear_model();
  standin::set_field(m.get(), "supvec", standin::real(rows, 0));
  r = standin::call("gram_square", 1, {standin::real(2, 2, {1, 3, 2, 4}), std::move(m)});
  ASSERT_TRUE(r.ok) << r.error_text;
  expect_tidy(r);
  EXPECT_EQ(standin::doubles(r.out(0)), (std::vector<double>{5, 11, 11, 25}));

  // The registry itself: blocks freed on their own (each the last of its
  // chain when freed, so the chain's end moves back) and allocated again
  // keep every chain whole; a block not registered is left alone; the
  // release frees every block, node and the registry.
  const long before = standin::live_host_blocks();
  {
    svkernel::CallScope call("gram_square");
    std::vector<void*> blocks;
    for (int k = 0; k < 5000; ++k) blocks.push_back(svkernel::trackedAlloc(call, 8));
    for (int k = 4999; k >= 2500; k -= 2) svkernel::trackedFree(call, blocks[k]);
    for (int k = 4999; k >= 2500; k -= 2) blocks[k] = svkernel::trackedAlloc(call, 24);
    int local = 0;
    svkernel::trackedFree(call, &local);
    std::set<void*> chained;
    int32_t total = 0;
    for (uint32_t b = 0; b < svkernel::REGISTRY_BUCKETS; ++b) {
      const svkernel::RegistryBucket& bucket = call.registry->buckets[b];
      svkernel::RegistryNode* const* link = &bucket.chain;
      int32_t count = 0;
      for (; *link != nullptr; link = &(*link)->next, ++count) {
        EXPECT_EQ(svkernel::bucketOf((*link)->block), b);
        chained.insert((*link)->block);
      }
      EXPECT_EQ(link, bucket.tail) << "bucket " << b;
      EXPECT_EQ(count, bucket.count);
      total += count;
    }
    EXPECT_EQ(total, call.registry->total);
    EXPECT_EQ(chained, std::set<void*>(blocks.begin(), blocks.end()));
    svkernel::releaseAll(call);
    EXPECT_EQ(standin::live_host_blocks(), before);
  }
  EXPECT_EQ(standin::live_host_blocks(), before);
}

// index and supvec are sized by their rows: their class and sizes are
// checked before anything is allocated for them.  A field without data
// still gives the fixed message.
TEST(GramEntries, FieldsAreCheckedBeforeTheyAreSized) {
  const size_t huge = size_t{1} << 40;
  struct Case { const char* field; Array value; const char* id; };
  Case cases[] = {{"index", standin::sparse(huge, 1, {}, {}, {}), "gram_square:fieldNotDouble"},
                  {"index", standin::real(huge, 0), "gram_square:fieldTooLarge"},
                  {"supvec", standin::sparse(huge, 1, {}, {}, {}), "gram_square:fieldNotDouble"},
                  {"supvec", standin::real(huge, 0), "gram_square:fieldTooLarge"},
                  {"supvec", standin::real(0, huge), "gram_square:fieldTooLarge"}};
  for (Case& c : cases) {
    Array m = linear_model();
    standin::set_field(m.get(), c.field, std::move(c.value));
    auto r = standin::call("gram_square", 1, {standin::real(2, 2, {1, 3, 2, 4}), std::move(m)});
    EXPECT_EQ(r.error_id, c.id) << c.field << ": " << r.error_text;
    expect_tidy(r);
  }
  Array m = linear_model();
  standin::set_field(m.get(), "index", standin::int32(3, 0));
  auto r = standin::call("gram_pair", 1, {standin::real(1, 2), standin::real(1, 2), std::move(m)});
  EXPECT_EQ(r.error_text, "Error allocating lArray or dArray");
  expect_tidy(r);
}

TEST(GramEntries, OneOutputAtMost) {
  auto r = standin::call("gram_square", 2, {standin::real(2, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_square:nargout");
  EXPECT_EQ(r.error_text, "At most 1 output: K = gram_square(X, model).");
  expect_tidy(r);
  r = standin::call("gram_pair", 3, {standin::real(1, 2), standin::real(1, 2), linear_model()});
  EXPECT_EQ(r.error_id, "gram_pair:nargout");
  expect_tidy(r);
}

}  // namespace
