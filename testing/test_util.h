// Helpers shared by the C++ test suites: seeded random data, bitwise
// comparison, and the check that a stand-in call ended in one given error.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/standin/standin.h"

namespace eegtest {

// count normally distributed doubles (mean 0, standard deviation spread),
// the same sequence for the same seed.
inline std::vector<double> random_data(size_t count, unsigned seed, double spread = 1.0) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> dist(0.0, spread);
  std::vector<double> x(count);
  for (double& v : x) v = dist(gen);
  return x;
}

// The first count values of a and b have the same bits.
template <class T>
bool same_bits(const std::vector<T>& a, const T* b, size_t count) {
  return a.size() >= count && std::memcmp(a.data(), b, count * sizeof(T)) == 0;
}

// a and b have the same length and the same bits.
template <class T>
bool same_bits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// The call ended in the host error `id`, cleanly and without outputs.
inline void expect_error(const standin::Result& r, const std::string& id) {
  EXPECT_FALSE(r.ok) << "expected " << id;
  EXPECT_EQ(r.error_id, id) << r.error_text;
  EXPECT_TRUE(r.clean()) << id;
  for (const auto& o : r.outputs) EXPECT_EQ(o, nullptr) << id;
}

}  // namespace eegtest
