#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

#include "pulse/Connection.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

// A Unix socket at `path` that takes connections into its backlog and never says a word: a
// sound server that hangs.
class CSilentServer {
 public:
  explicit CSilentServer(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listening_ = fd_ >= 0 &&
                 bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                 listen(fd_, 4) == 0;
  }
  ~CSilentServer() {
    if (fd_ >= 0) close(fd_);
  }
  CSilentServer(const CSilentServer&) = delete;
  CSilentServer& operator=(const CSilentServer&) = delete;

  bool Listening() const { return listening_; }

 private:
  int fd_;
  bool listening_ = false;
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(ConnectionTest, AServerThatNeverAnswersTimesOutWithinTheLimit) {
  testsupport::TempFolder folder;
  const std::string path = folder.File("native");
  CSilentServer server(path);
  ASSERT_TRUE(server.Listening());
  testsupport::EnvOverride address("PULSE_SERVER", "unix:" + path);

  std::atomic<bool> running{true};
  pulse::CConnection connection(running);
  const Clock::time_point start = Clock::now();
  {
    pulse::CLock lock;
    EXPECT_EQ(connection.Connect(lock), pulse::Connected::kNotReady);
    EXPECT_EQ(connection.Reason(), "the sound server does not answer");
  }
  const double limit = static_cast<double>(pulse::kTimeoutUsec) / PA_USEC_PER_SEC;
  EXPECT_GE(SecondsSince(start), limit - 0.1);
  EXPECT_LT(SecondsSince(start), limit + 2.0);
  // Closing a connection stuck halfway takes no time of its own.
  const Clock::time_point closing = Clock::now();
  pulse::CLock lock(connection);
  connection.Close(lock);
  EXPECT_FALSE(connection.Started());
  EXPECT_LT(SecondsSince(closing), 1.0);
}

TEST(ConnectionTest, NoServerAtTheAddressFailsAtOnceWithItsReason) {
  testsupport::TempFolder folder;
  testsupport::EnvOverride address("PULSE_SERVER", "unix:" + folder.File("nobody-here"));

  std::atomic<bool> running{true};
  pulse::CConnection connection(running);
  const Clock::time_point start = Clock::now();
  pulse::CLock lock;
  const pulse::Connected connected = connection.Connect(lock);
  EXPECT_TRUE(connected == pulse::Connected::kRefused || connected == pulse::Connected::kNotReady)
      << static_cast<int>(connected);
  EXPECT_LT(SecondsSince(start), 1.0);
  const std::string reason = connection.Reason();
  EXPECT_FALSE(reason.empty());
  EXPECT_NE(reason, "the sound server does not answer");
  // The context's failure reaches the client's running flag.
  EXPECT_FALSE(running.load());
  // The connection closes itself when it goes, with the lock still held here: released first.
  lock.Release();
}

}  // namespace
