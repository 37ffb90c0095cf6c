// Named mutexes and private namespaces. The simulated platform is only useful
// while it behaves as Windows does; these cases pin the behaviours the
// launcher's correctness depends on.
#include "platform/simulated/simulated_platform.h"

#include <gtest/gtest.h>

namespace {

TEST(SimulatedPlatformTest, NamedMutexesLastWhileAHandleIsOpen) {
  SimulatedPlatform p;
  p.AddMutex("Global\\held");
  p.AddMutex("Global\\other-user", true);
  Handle first = 0;
  Handle second = 0;
  Handle other = 0;
  EXPECT_EQ(p.CreateMutexA("Global\\m", &first), MutexResult::Created);
  EXPECT_EQ(p.CreateMutexA("Global\\m", &second), MutexResult::AlreadyExists);
  EXPECT_NE(first, second);
  EXPECT_EQ(p.CreateMutexA("Global\\M", &other), MutexResult::Created);
  EXPECT_TRUE(p.CloseHandle(first));
  EXPECT_TRUE(p.HoldsMutex("Global\\m"));
  EXPECT_TRUE(p.CloseHandle(second));
  EXPECT_FALSE(p.HoldsMutex("Global\\m"));
  EXPECT_EQ(p.CreateMutexA("Global\\m", &first), MutexResult::Created);
  EXPECT_EQ(p.CreateMutexA("Global\\held", &other), MutexResult::AlreadyExists);
  // Refused, the call hands out no handle.
  Handle unset = 7;
  EXPECT_EQ(p.CreateMutexA("Global\\other-user", &unset),
            MutexResult::AccessDenied);
  EXPECT_EQ(unset, 7u);
}

// Only a token with Administrators enabled creates or opens the namespace
// whose boundary holds that SID; inside it, names are apart from the plain
// ones.
TEST(SimulatedPlatformTest, PrivateNamespacesAdmitAdministratorsAlone) {
  for (bool administrator : {false, true}) {
    SimulatedPlatform p;
    p.administrator = administrator;
    p.AddMutex("Global\\m");
    Handle boundary = 0;
    Handle ns = 0;
    ASSERT_TRUE(p.CreateBoundaryDescriptorW("b", &boundary));
    ASSERT_TRUE(p.AddSIDToBoundaryDescriptor(&boundary));
    p.AddPrivateNamespace("b");
    EXPECT_EQ(p.CreatePrivateNamespaceW(boundary, "a", &ns),
              administrator ? NamespaceResult::AlreadyExists
                            : NamespaceResult::Failed);
    EXPECT_EQ(p.OpenPrivateNamespaceW(boundary, "a", &ns), administrator);
    Handle mutex = 0;
    p.CreateMutexA("a\\m", &mutex);  // inside only where it was opened
    EXPECT_EQ(p.HoldsMutex("m", "b"), administrator);
  }
}

}  // namespace
