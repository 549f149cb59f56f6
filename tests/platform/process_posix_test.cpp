// The remembered process id: a child sees its own id however it was made,
// including by _Fork(), which runs no fork handlers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.h"

namespace zcv::platform {
namespace {

TEST(ProcessTest, AChildNeverSeesItsParentsId) {
  struct Spawn {
    const char* name;
    pid_t (*start)();
  };
  const Spawn spawns[] = {{"fork", &::fork}, {"_Fork", &::_Fork}};
  for (const Spawn& spawn : spawns) {
    SCOPED_TRACE(spawn.name);
    // Remembered before the child is made.
    ASSERT_EQ(CurrentProcessId(), static_cast<unsigned long>(::getpid()));
    const pid_t child = spawn.start();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::_exit(CurrentProcessId() == static_cast<unsigned long>(::getpid()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(CurrentProcessId(), static_cast<unsigned long>(::getpid()));
  }
}

}  // namespace
}  // namespace zcv::platform
