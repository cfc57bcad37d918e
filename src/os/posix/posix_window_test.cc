#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/unique_fd.h"
#include "os/posix/window_datagram.h"

namespace tav::posix::testing {
namespace {

constexpr wchar_t kClass[] = L"TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS";

// A datagram socket bound where PosixOs looks for the window; never reads by
// itself.
class Listener {
 public:
  explicit Listener(const std::string& path) : fd_(socket(AF_UNIX, SOCK_DGRAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = bind(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  bool bound() const { return bound_; }
  void Close() { fd_.Reset(); }
  // The datagrams waiting, as long as they are 24 bytes each.
  std::vector<WindowDatagram> Drain() {
    std::vector<WindowDatagram> received;
    char bytes[64];
    ssize_t n;
    while ((n = recv(fd_.get(), bytes, sizeof bytes, MSG_DONTWAIT)) >= 0) {
      EXPECT_EQ(n, static_cast<ssize_t>(sizeof(WindowDatagram)));
      WindowDatagram datagram;
      std::memcpy(&datagram, bytes, sizeof datagram);
      received.push_back(datagram);
    }
    return received;
  }

 private:
  UniqueFd fd_;
  bool bound_ = false;
};

class PosixWindowTest : public ::testing::Test {
 protected:
  std::string SocketPath() const {
    return WindowSocketPath(dir_.path(), "TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS");
  }

  TempDir dir_;
  std::unique_ptr<Os> os_ = MakePosixOs(dir_.Config());
};

TEST_F(PosixWindowTest, NoListenerMeansNoWindow) {
  EXPECT_FALSE(os_->system().PostToWindowOfClass(kClass, 0x83E8));

  // A socket file left behind by a listener that has gone.
  { Listener gone(SocketPath()); }
  ASSERT_TRUE(FileExists(SocketPath()));
  EXPECT_FALSE(os_->system().PostToWindowOfClass(kClass, 0x83E8));
}

TEST_F(PosixWindowTest, PostedMessageArrivesExactlyOnce) {
  Listener listener(SocketPath());
  ASSERT_TRUE(listener.bound());
  EXPECT_FALSE(os_->system().PostToWindowOfClass(L"SOME_OTHER_CLASS", 0x83E8));
  ASSERT_TRUE(os_->system().PostToWindowOfClass(kClass, 0x83E8));
  std::vector<WindowDatagram> received = listener.Drain();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].Message, 0x83E8u);
  EXPECT_EQ(received[0].WParam, 0u);
  EXPECT_EQ(received[0].LParam, 0);

  // The window is gone by the time the message is posted.
  listener.Close();
  EXPECT_FALSE(os_->system().PostToWindowOfClass(kClass, 0x83E8));
}

TEST_F(PosixWindowTest, ListenerThatNeverReadsBlocksNothing) {
  Listener listener(SocketPath());
  ASSERT_TRUE(listener.bound());
  auto start = std::chrono::steady_clock::now();
  int refused = 0;
  for (int i = 0; i < 5000; ++i)
    if (!os_->system().PostToWindowOfClass(kClass, 0x83E8)) ++refused;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(refused, 0) << "the receive queue never filled";
  EXPECT_LT(seconds, 5.0);
}

}  // namespace
}  // namespace tav::posix::testing
