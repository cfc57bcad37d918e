#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <gtest/gtest.h>

#include "os/posix/posix_parts.h"
#include "os/posix/posix_test_support.h"
#include "os/posix/window_datagram.h"

namespace tav::posix::testing {
namespace {

constexpr wchar_t kClass[] = L"TAV_POWERSAVE_MAIN_UI_WINDOW_CLASS";

// A datagram socket bound where PosixOs looks for the window; never reads by
// itself.
class Listener {
 public:
  explicit Listener(const std::string& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Listener() { Close(); }
  bool bound() const { return bound_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // The datagrams waiting, as long as they are 24 bytes each.
  std::vector<WindowDatagram> Drain() {
    std::vector<WindowDatagram> received;
    char bytes[64];
    ssize_t n;
    while ((n = recv(fd_, bytes, sizeof bytes, MSG_DONTWAIT)) >= 0) {
      EXPECT_EQ(n, static_cast<ssize_t>(sizeof(WindowDatagram)));
      WindowDatagram datagram;
      std::memcpy(&datagram, bytes, sizeof datagram);
      received.push_back(datagram);
    }
    return received;
  }

 private:
  std::string path_;
  int fd_ = -1;
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
  EXPECT_EQ(os_->FindWindowByClass(kClass), 0u);
  EXPECT_FALSE(os_->PostMessage(0, 0x83E8, 0, 0));
  EXPECT_FALSE(os_->PostMessage(12345, 0x83E8, 0, 0));

  // A socket file left behind by a listener that has gone.
  { Listener gone(SocketPath()); }
  ASSERT_TRUE(FileExists(SocketPath()));
  EXPECT_EQ(os_->FindWindowByClass(kClass), 0u);
}

TEST_F(PosixWindowTest, PostedMessageArrivesExactlyOnce) {
  Listener listener(SocketPath());
  ASSERT_TRUE(listener.bound());
  WindowRef window = os_->FindWindowByClass(kClass);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(os_->FindWindowByClass(L"SOME_OTHER_CLASS"), 0u);
  ASSERT_TRUE(os_->PostMessage(window, 0x83E8, 0, 0));
  std::vector<WindowDatagram> received = listener.Drain();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, 0x83E8u);
  EXPECT_EQ(received[0].wParam, 0u);
  EXPECT_EQ(received[0].lParam, 0);

  ASSERT_TRUE(os_->PostMessage(window, 0x8001, 7, -5));
  received = listener.Drain();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, 0x8001u);
  EXPECT_EQ(received[0].wParam, 7u);
  EXPECT_EQ(received[0].lParam, -5);

  // The window is gone by the time the message is posted.
  listener.Close();
  EXPECT_FALSE(os_->PostMessage(window, 0x83E8, 0, 0));
}

TEST_F(PosixWindowTest, ListenerThatNeverReadsBlocksNothing) {
  Listener listener(SocketPath());
  ASSERT_TRUE(listener.bound());
  auto start = std::chrono::steady_clock::now();
  int refused = 0;
  for (int i = 0; i < 5000; ++i) {
    WindowRef window = os_->FindWindowByClass(kClass);
    ASSERT_NE(window, 0u);
    if (!os_->PostMessage(window, 0x83E8, 0, 0)) ++refused;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(refused, 0) << "the receive queue never filled";
  EXPECT_LT(seconds, 5.0);
}

}  // namespace
}  // namespace tav::posix::testing
