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

namespace {
standin::Result probe(const char* mode, int nlhs = 1) {
  return standin::call("probe_module", nlhs, {standin::text(mode), standin::real(2, 1, {5, 6})});
}
}  // namespace

TEST(StandinCall, ErrorsEndTheCall) {
  auto r = probe("error");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error_id, "probe:failed");
  EXPECT_EQ(r.error_text, "failed with 42");
  EXPECT_TRUE(r.clean());
  auto t = probe("text");
  EXPECT_EQ(t.error_id, "");
  EXPECT_EQ(t.error_text, "plain message");
}

TEST(StandinCall, FaultsOfTheExtensionAreSeen) {
  EXPECT_TRUE(probe("swallow").error_swallowed);
  auto escaped = probe("escape");
  EXPECT_TRUE(escaped.exception_escaped);
  EXPECT_FALSE(escaped.ok);
  EXPECT_TRUE(probe("pastslot", 1).wrote_past_slots);
  EXPECT_TRUE(probe("pastslot", 0).wrote_past_slots);
  EXPECT_TRUE(probe("modify").inputs_modified);
  auto leak = probe("leak");
  EXPECT_EQ(leak.host_blocks_reclaimed, 1);
  EXPECT_EQ(leak.arrays_reclaimed, 1);
  EXPECT_EQ(standin::live_host_blocks(), 0);
}

TEST(StandinCall, OutputsPrintsWarningsAndHostCalls) {
  auto r = probe("talk");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.printed, "hello world\n");
  ASSERT_EQ(r.warnings.size(), 2u);
  EXPECT_EQ(r.warnings[0].id, "probe:first");
  EXPECT_EQ(r.warnings[0].text, "first 1");
  EXPECT_EQ(r.warnings[1].id, "probe:second");
  EXPECT_EQ(standin::doubles(r.out(0)), std::vector<double>{3});

  auto t = probe("transpose");
  ASSERT_TRUE(t.ok) << t.error_text;
  EXPECT_EQ(mxGetM(t.out(0)), 1u);
  EXPECT_EQ(mxGetN(t.out(0)), 2u);
  EXPECT_EQ(t.arrays_reclaimed, 0);
  standin::fail_call_host(true);
  auto f = probe("transpose");
  standin::reset_faults();
  EXPECT_EQ(f.error_id, "probe:callFailed");

  auto sp = standin::sparse(3, 2, {0, 2, 1}, {0, 0, 1}, {1.5, 2.5, 3.5});
  auto st = standin::call("probe_module", 1, {standin::text("transpose"), std::move(sp)});
  ASSERT_TRUE(st.ok);
  const mxArray* tr = st.out(0);
  ASSERT_TRUE(mxIsSparse(tr));
  EXPECT_EQ(mxGetM(tr), 2u);
  EXPECT_EQ(mxGetN(tr), 3u);
  // Column 0 of the transpose is row 0 of the original: (0,0) = 1.5 only.
  EXPECT_EQ(mxGetJc(tr)[1], 1u);
  EXPECT_EQ(mxGetPr(tr)[0], 1.5);
  EXPECT_EQ(mxGetIr(tr)[2], 0u);  // column 2 holds (0,2) = 2.5
  EXPECT_EQ(mxGetPr(tr)[2], 2.5);
}
