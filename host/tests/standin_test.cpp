// The stand-in host itself: arrays, struct fields, host memory reclamation.
#include <gtest/gtest.h>

#include "host/standin/standin.h"

TEST(StandinHost, ArraysAndFields) {
  auto a = standin::real(2, 3, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(mxGetM(a.get()), 2u);
  EXPECT_EQ(mxGetN(a.get()), 3u);
  EXPECT_EQ(mxGetPr(a.get())[3], 4.0);
  EXPECT_STREQ(mxGetClassName(a.get()), "double");
  standin::Array copy(mxDuplicateArray(a.get()));
  mxGetPr(copy.get())[0] = 9;
  EXPECT_EQ(mxGetPr(a.get())[0], 1.0);

  auto s = standin::empty_struct_array({"alpha"});
  standin::set_field(s.get(), "beta", standin::scalar(7));
  EXPECT_EQ(mxGetNumberOfFields(s.get()), 2);
  EXPECT_EQ(mxGetScalar(mxGetField(s.get(), 0, "beta")), 7.0);
  EXPECT_EQ(mxGetFieldByNumber(s.get(), 0, 0), nullptr);
  EXPECT_EQ(mxGetField(s.get(), 0, "gamma"), nullptr);

  auto t = standin::text("hello");
  char buf[4];
  EXPECT_NE(mxGetString(t.get(), buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "hel");
  char whole[6];
  mxGetNChars(t.get(), whole, sizeof whole);
  EXPECT_STREQ(whole, "hello");

  auto sp = standin::sparse(3, 2, {0, 2, 1}, {0, 0, 1}, {1.5, 2.5, 3.5});
  EXPECT_TRUE(mxIsSparse(sp.get()));
  EXPECT_EQ(mxGetJc(sp.get())[1], 2u);
  EXPECT_EQ(mxGetIr(sp.get())[2], 1u);
}

TEST(StandinHost, HostMemoryFaultSwitch) {
  standin::fail_nth_malloc(2);
  void* first = mxMalloc(16);
  void* second = mxMalloc(16);
  void* third = mxCalloc(2, 8);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  mxFree(first);
  mxFree(third);
  standin::reset_faults();
  EXPECT_EQ(standin::live_host_blocks(), 0);
}
