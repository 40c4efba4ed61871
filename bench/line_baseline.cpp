// The baselines on the line: the least a program can do with the same
// bytes, one poll() and read() loop.
//
//   line_baseline flood   --mower PATH [--seconds 30] [--fps 2304] [--handoff]
//       reads the mower's flood in a single thread and counts the frames;
//       prints its CPU time per 1000 frames. With --handoff the bytes take
//       the port layer's path stripped to its bones: a waiting thread sleeps
//       in a one-shot epoll on the port and signals an eventfd, the reading
//       thread wakes on that eventfd, reads the port and arms the watch
//       again. No Qt, no console: the least the two-thread hand-off costs.
//   line_baseline latency [--answers 10000]
//       a reader thread on the slave, the same writer as the console's
//       measurement on the master; prints p50 and p99 of write to read.
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <optional>
#include <thread>

#include "bench/bench_util.h"
#include "console/mower_frame.h"

namespace verdelo::bench {
namespace {

constexpr std::size_t kReadChunk = 511;  // what the port window reads at once

int OpenRaw(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios line{};
  if (fd >= 0 && ::tcgetattr(fd, &line) == 0) {
    ::cfmakeraw(&line);
    ::tcsetattr(fd, TCSANOW, &line);
  }
  return fd;
}

// The hand-off: `watcher` waits for input and tells the reader through an
// eventfd; ReadFor's loop, on the reader's side, polls that eventfd instead of
// the port, reads the port and re-arms the one-shot watch.
class HandOff {
 public:
  explicit HandOff(int port) : port_(port) {
    epoll_event input{EPOLLIN | EPOLLONESHOT, {.u32 = 0}};
    epoll_event quit{EPOLLIN, {.u32 = 1}};
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, port_, &input);
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, quit_, &quit);
    watcher_ = std::thread([this] { Watch(); });
  }
  ~HandOff() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(quit_, &one, sizeof one);
    watcher_.join();
    ::close(epoll_);
    ::close(quit_);
    ::close(ready_);
  }
  int ReadyFd() const { return ready_; }
  // Takes the reader's wake-up and arms the watch for the next input.
  void Taken() {
    std::uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(ready_, &count, sizeof count);
    epoll_event input{EPOLLIN | EPOLLONESHOT, {.u32 = 0}};
    ::epoll_ctl(epoll_, EPOLL_CTL_MOD, port_, &input);
  }

 private:
  void Watch() {
    for (;;) {
      epoll_event ready[2];
      const int n = ::epoll_wait(epoll_, ready, 2, -1);
      for (int i = 0; i < n; ++i) {
        if (ready[i].data.u32 == 1) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t w = ::write(ready_, &one, sizeof one);
      }
    }
  }
  int port_;
  int epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  int quit_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  int ready_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  std::thread watcher_;
};

long g_reads = 0;  // reads that returned bytes

// Reads what is there until `untilNs` into the counter: woken by the port
// itself, or by the hand-off's eventfd when there is one.
void ReadFor(int fd, FrameCounter& counter, std::int64_t untilNs, HandOff* handOff) {
  std::uint8_t buffer[kReadChunk];
  for (;;) {
    const std::int64_t left = untilNs - NowNs();
    if (left <= 0) return;
    pollfd p{handOff ? handOff->ReadyFd() : fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left / 1000000 + 1)) <= 0) continue;
    const long n = ::read(fd, buffer, sizeof buffer);
    if (handOff) handOff->Taken();
    g_reads += n > 0;
    for (long i = 0; i < n; ++i) counter.Push(buffer[i]);
  }
}

int Flood(const Args& args) {
  TracedFlood flood(args, 30);
  MowerChild& mower = flood.mower;
  const int fd = mower.ok() ? OpenRaw(mower.device()) : -1;
  if (fd < 0) {
    std::cerr << "line_baseline: no line\n";
    return 1;
  }
  // One request answered: the mower has seen this end open.
  FrameCounter counter;
  const MowerFrame status = BuildRequest(CMD_READ_STATUS, 0);
  if (::write(fd, status.data(), status.size()) != 5) return 1;
  const std::int64_t deadline = NowNs() + 5'000'000'000;
  while (counter.frames < 1 && NowNs() < deadline)
    ReadFor(fd, counter, NowNs() + 10'000'000, nullptr);
  std::optional<HandOff> handOff;
  if (args.Has("handoff")) handOff.emplace(fd);
  HandOff* wakeUp = handOff ? &*handOff : nullptr;

  const std::string reply = flood.Start();
  const long frames0 = counter.frames;
  const long reads0 = g_reads;
  MeasuringWindow window;
  window.Begin();
  ReadFor(fd, counter, NowNs() + static_cast<std::int64_t>(flood.seconds * 1e9) + 50'000'000, wakeUp);
  window.End();
  const long windowFrames = counter.frames - frames0;
  const long windowReads = g_reads - reads0;
  ReadFor(fd, counter, NowNs() + 1'000'000'000, wakeUp);
  handOff.reset();  // before the hang-up, which the watch would report over and over
  mower.Stop();
  ReadFor(fd, counter, NowNs() + 300'000'000, nullptr);
  ::close(fd);
  const TracedFrames sent = CountTracedFrames(flood.trace);
  std::cout << "DETAIL|mower said '" << reply << "'; " << windowFrames << " frames in "
            << Fixed(window.WallMs() / 1000, 1) << " s, CPU " << Fixed(window.CpuMs(), 0) << " ms = "
            << Fixed(window.CpuShare(), 2) << "% of a core; mower sent " << sent.total() << " frames, read "
            << counter.frames << ", " << counter.broken << " broken\n";
  window.PrintRates(windowFrames, windowReads, "read");
  return counter.frames == sent.total() && counter.broken == 0 ? 0 : 1;
}

int Latency(const Args& args) {
  const int answers = static_cast<int>(args.Number("answers", 10000));
  int master = -1, slave = -1;
  termios raw{};
  cfmakeraw(&raw);
  if (::openpty(&master, &slave, nullptr, &raw, nullptr) != 0) return 1;
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(slave, F_SETFL, ::fcntl(slave, F_GETFL) | O_NONBLOCK);

  AnswerPacer pacer;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    FrameCounter counter;
    std::uint8_t buffer[kReadChunk];
    while (!stop) {
      pollfd p{slave, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const long n = ::read(slave, buffer, sizeof buffer);
      for (long i = 0; i < n; ++i)
        if (counter.Push(buffer[i])) pacer.Done(NowNs());
    }
  });
  const AnswerPacer::Result result = pacer.Run(master, answers);
  stop = true;
  reader.join();
  ::close(master);
  ::close(slave);

  PrintNote("3 latency, bare poll+read thread: " + DescribeLatency(result.latencyUs) + "; " +
            std::to_string(result.lost) + " lost");
  std::cout << "VALUE|latency_p50_us|" << Percentile(result.latencyUs, 0.5) << "\nVALUE|latency_p99_us|"
            << Percentile(result.latencyUs, 0.99) << std::endl;
  return 0;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunMode(argc, argv, "line_baseline", {{"flood", Flood}, {"latency", Latency}});
}
