#include "serial/completion_record.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

#include "serial/com_types.h"

namespace verdelo {
namespace {

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST(CompletionRecord, StaysSignalledUntilResetAndTimesOutWhenClear) {
  CompletionRecord record;
  ASSERT_EQ(record.CreateError(), 0);
  EXPECT_FALSE(record.IsSignalled());
  EXPECT_EQ(record.Wait(0), ERROR_TIMEOUT);
  EXPECT_EQ(record.Wait(20), ERROR_TIMEOUT);

  record.Signal();
  record.Signal();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(record.Wait(INFINITE), 0);
  EXPECT_TRUE(record.IsSignalled());

  record.Reset();
  EXPECT_FALSE(record.IsSignalled());
  EXPECT_EQ(record.Wait(0), ERROR_TIMEOUT);
}

// A descriptor handed out is what a caller's poll() set watches: it must be
// readable exactly while the record is signalled, whenever it was handed out.
TEST(CompletionRecord, HandedOutDescriptorFollowsEverySignalAndReset) {
  CompletionRecord signalledFirst;
  signalledFirst.Signal();
  EXPECT_TRUE(Readable(signalledFirst.Fd()));
  signalledFirst.Reset();
  EXPECT_FALSE(Readable(signalledFirst.Fd()));

  CompletionRecord handedOutFirst;
  const int fd = handedOutFirst.Fd();
  EXPECT_FALSE(Readable(fd));
  handedOutFirst.Signal();
  handedOutFirst.Signal();
  EXPECT_TRUE(Readable(fd));
  handedOutFirst.Reset();  // one Reset clears any number of Signals
  EXPECT_FALSE(Readable(fd));
  handedOutFirst.Signal();
  EXPECT_TRUE(Readable(fd));
}

// Waiters on other threads, signalled at once or after they went to sleep:
// none may miss the Signal, and a Reset after it leaves none stuck.
TEST(CompletionRecord, WaitersOnOtherThreadsWakeOnSignal) {
  for (int round = 0; round < 200; ++round) {
    CompletionRecord record;
    std::vector<int32_t> results(3, -1);
    std::vector<std::thread> waiters;
    for (int32_t& result : results)
      waiters.emplace_back([&record, &result] { result = record.Wait(INFINITE); });
    if (round % 2) std::this_thread::yield();
    record.Signal();
    for (std::thread& t : waiters) t.join();
    for (int32_t result : results) ASSERT_EQ(result, 0) << "round " << round;
    record.Reset();
    EXPECT_EQ(record.Wait(0), ERROR_TIMEOUT);
  }
}

}  // namespace
}  // namespace verdelo
