// The record of calls and injected faults. The simulated platform is only
// useful while it behaves as Windows does; these cases pin the behaviours the
// launcher's correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

using Op = SimulatedPlatform::Op;

TEST(SimulatedPlatformTest, RecordsCallsAndFailsThemOnRequest) {
  SimulatedPlatform p;
  p.AddFile("C:\\a");
  p.AddFile("C:\\b");
  p.failing_calls.insert(1);
  p.FailOn(Op::PathFileExistsA, "c:\\B");
  EXPECT_TRUE(p.DeleteFileA("C:\\a"));
  EXPECT_FALSE(p.GetFileAttributesA("C:\\b") != kInvalidFileAttributes);
  EXPECT_FALSE(p.PathFileExistsA("C:\\b"));
  EXPECT_TRUE(p.PathFileExistsA("C:\\Windows"));
  ASSERT_EQ(p.calls().size(), 4u);
  EXPECT_EQ(p.calls()[0].op, Op::DeleteFileA);
  EXPECT_EQ(p.calls()[0].first, "C:\\a");
  EXPECT_EQ(std::string(SimulatedPlatform::Name(p.calls()[1].op)),
            "GetFileAttributesA");
  p.exit(0);
  EXPECT_FALSE(p.called_after_exit());
  p.PathFileExistsA("C:\\");
  EXPECT_TRUE(p.called_after_exit());
}

}  // namespace
