// main for GoogleTest programs whose cases all skip without a capability:
// when every case that ran was skipped, the exit status is 77, which CTest
// reports as a skip (SKIP_RETURN_CODE) instead of a pass. A filter that
// selects no case is a mistake in the test's registration and fails.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
  if (unit.test_to_run_count() == 0) {
    std::fprintf(stderr, "no test case matches the filter\n");
    return 1;
  }
  if (status == 0 && unit.skipped_test_count() == unit.test_to_run_count()) {
    return 77;
  }
  return status;
}
