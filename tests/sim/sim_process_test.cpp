// Runs the real zart-sim binary on a pseudo-terminal and talks to it with
// plain POSIX calls, as the tool's serial port will.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controller.h"
#include "sim_test_util.h"

namespace zart::sim {
namespace {

using testing::B;
using testing::Bytes;

const Bytes kStatus = B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78});

class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    int in[2];
    int out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      ::close(in[1]);
      ::close(out[0]);
      std::vector<char*> argv;
      std::string path = ZART_SIM_PATH;
      argv.push_back(path.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(path.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
  }

  ~SimProcess() {
    if (m_pid > 0 && !m_exited) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    if (m_stdin >= 0) ::close(m_stdin);
    if (m_stdout >= 0) ::close(m_stdout);
  }

  /// One line of standard output, or "" after two seconds without one.
  std::string ReadLine() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (true) {
      const auto eol = m_buf.find('\n');
      if (eol != std::string::npos) {
        std::string line = m_buf.substr(0, eol);
        m_buf.erase(0, eol + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd p{m_stdout, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      char chunk[512];
      const ssize_t n = ::read(m_stdout, chunk, sizeof chunk);
      if (n <= 0) return {};
      m_buf.append(chunk, static_cast<std::size_t>(n));
    }
  }

  std::string Command(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(m_stdin, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    return ReadLine();
  }

  void Signal(int sig) { ::kill(m_pid, sig); }

  /// Exit status, or -1 when the process does not end within two seconds.
  int Wait() {
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_exited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      ::usleep(10000);
    }
    return -1;
  }

 private:
  pid_t m_pid = -1;
  int m_stdin = -1;
  int m_stdout = -1;
  bool m_exited = false;
  std::string m_buf;
};

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return fd;
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

/// Sends `request` and collects what comes back within `window`.
Bytes exchange(int fd, const Bytes& request, std::chrono::milliseconds window = std::chrono::milliseconds(300),
               std::size_t expected = 0) {
  if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + window;
  while (std::chrono::steady_clock::now() < deadline && (expected == 0 || got.size() < expected)) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10) > 0) {
      std::uint8_t buf[512];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
  }
  return got;
}

TEST(SimProcess, AnswersAStatusRequestOnItsPtyAndQuits) {
  SimProcess sim({});
  const std::string device = sim.ReadLine();
  ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;
  const int fd = openRaw(device);
  ASSERT_GE(fd, 0);
  const Bytes reply = exchange(fd, kStatus, std::chrono::milliseconds(2000), 255);
  ASSERT_EQ(reply.size(), 255u);
  EXPECT_EQ(reply[0], 7);
  EXPECT_EQ(reply[1], 4);
  EXPECT_EQ(reply[2], 250);
  EXPECT_TRUE(HasGoodCrc(reply));
  // Closing and reopening the device keeps it usable.
  ::close(fd);
  const int again = openRaw(device);
  ASSERT_GE(again, 0);
  EXPECT_EQ(exchange(again, kStatus, std::chrono::milliseconds(2000), 255).size(), 255u);
  ::close(again);
  EXPECT_EQ(sim.Command("quit"), "ok quit");
  EXPECT_EQ(sim.Wait(), 0);
}

TEST(SimProcess, ReplyLeftUnreadIsNotServedToTheNextOpener) {
  SimProcess sim({"--split-reply", "100"});
  const std::string device = sim.ReadLine();
  int fd = openRaw(device);
  ASSERT_GE(fd, 0);
  // Ask, take only the first half, and close while the rest is on its way.
  const Bytes half = exchange(fd, kStatus, std::chrono::milliseconds(50));
  EXPECT_FALSE(half.empty());
  EXPECT_LT(half.size(), 255u);
  ::close(fd);
  EXPECT_EQ(sim.Command("fault none"), "ok fault none");
  fd = openRaw(device);
  ASSERT_GE(fd, 0);
  const Bytes reply = exchange(fd, kStatus, std::chrono::milliseconds(2000), 255);
  EXPECT_EQ(reply.size(), 255u);
  EXPECT_TRUE(HasGoodCrc(reply)) << "only the new reply, nothing left over";
  ::close(fd);
  EXPECT_EQ(sim.Command("quit"), "ok quit");
  EXPECT_EQ(sim.Wait(), 0);
}

TEST(SimProcess, LinkFollowsUnplugAndReplugAndGoesOnExit) {
  const std::string link = ::testing::TempDir() + "zart_sim_link_" + std::to_string(::getpid());
  SimProcess sim({"--link", link, "--fault-silent"});
  const std::string device = sim.ReadLine();
  ASSERT_FALSE(device.empty());
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), device);

  int fd = openRaw(link);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(exchange(fd, kStatus).empty()) << "silent fault";
  EXPECT_EQ(sim.Command("fault silent off"), "ok fault silent off");
  EXPECT_EQ(exchange(fd, kStatus, std::chrono::milliseconds(2000), 255).size(), 255u);

  EXPECT_EQ(sim.Command("unplug"), "ok unplug");
  struct stat st{};
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link removed while unplugged";
  ::close(fd);

  const std::string replug = sim.Command("replug");
  ASSERT_EQ(replug.rfind("ok replug /dev/", 0), 0u) << replug;
  fd = openRaw(link);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(exchange(fd, kStatus, std::chrono::milliseconds(2000), 255).size(), 255u);
  ::close(fd);

  EXPECT_EQ(sim.Command("stats").rfind("ok stats requests=3", 0), 0u);
  EXPECT_EQ(sim.Command("quit"), "ok quit");
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link removed on exit";
}

TEST(SimProcess, EepromIsSavedOnTerminationAndLoadedAgain) {
  const std::string file = ::testing::TempDir() + "zart_sim_image_" + std::to_string(::getpid()) + ".bin";
  ::unlink(file.c_str());
  {
    SimProcess sim({"--eeprom", file});
    const int fd = openRaw(sim.ReadLine());
    ASSERT_GE(fd, 0);
    Bytes write = B({7, 101, 0x05, 0x00, 2, 0x41, 0x42});
    AppendCrc(write);
    EXPECT_EQ(exchange(fd, write, std::chrono::milliseconds(2000), write.size()), write);
    ::close(fd);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
  }
  SimProcess again({"--eeprom", file});
  ASSERT_FALSE(again.ReadLine().empty());
  EXPECT_EQ(again.Command("dump 1280 3"), "ok dump 1280: 41 42 CE");
  EXPECT_EQ(again.Command("dump 258 1"), "ok dump 258: 0F") << "the rest of the defaults kept";
  EXPECT_EQ(again.Command("quit"), "ok quit");
  EXPECT_EQ(again.Wait(), 0);
  ::unlink(file.c_str());
}

TEST(SimProcess, ControlFifoSwitchesTheBlockedFlag) {
  const std::string fifo = ::testing::TempDir() + "zart_sim_ctl_" + std::to_string(::getpid());
  SimProcess sim({"--control", fifo});
  const int fd = openRaw(sim.ReadLine());
  ASSERT_GE(fd, 0);
  const int ctl = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(ctl, 0);
  ASSERT_EQ(::write(ctl, "block on\n", 9), 9);
  EXPECT_EQ(sim.ReadLine(), "ok block on");
  const Bytes reply = exchange(fd, kStatus, std::chrono::milliseconds(2000), 255);
  ASSERT_EQ(reply.size(), 255u);
  EXPECT_EQ(reply[3], 0x82) << "blocked flag in bit 15 of register 300";
  ::close(ctl);
  ::close(fd);
  EXPECT_EQ(sim.Command("quit"), "ok quit");
  EXPECT_EQ(sim.Wait(), 0);
  struct stat st{};
  EXPECT_NE(::stat(fifo.c_str(), &st), 0) << "FIFO removed on exit";
}

TEST(SimProcess, RefusesAnImageOfTheWrongSize) {
  const std::string file = ::testing::TempDir() + "zart_sim_short_" + std::to_string(::getpid()) + ".bin";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_EQ(::write(fd, "short", 5), 5);
  ::close(fd);
  SimProcess sim({"--eeprom", file});
  EXPECT_EQ(sim.ReadLine(), "");
  EXPECT_EQ(sim.Wait(), 2);
  struct stat st{};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 5) << "the file is left alone";
  ::unlink(file.c_str());
}

}  // namespace
}  // namespace zart::sim
