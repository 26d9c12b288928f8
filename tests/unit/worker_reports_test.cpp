// The window's report queue: what workers hand in comes out once each, in order, and nothing
// comes out of an empty queue, however often the window is woken.
#include "app/worker_reports.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace tw::app;

TEST(ReportQueue, GivesEachReportOnceInTheOrderHandedInAndNothingWhenEmpty)
{
    ReportQueue queue;
    EXPECT_TRUE(queue.take_all().empty());
    constexpr int workers = 4;
    constexpr int each = 500;
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w) {
        threads.emplace_back([&queue, w] {
            for (int i = 0; i < each; ++i)
                queue.hand_in(ProgressReport{w * each + i});
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::vector<int> last_of(workers, -1);
    int taken = 0;
    for (const WorkerReport& report : queue.take_all()) {
        const int value = std::get<ProgressReport>(report).per_mille;
        EXPECT_GT(value, last_of[value / each]) << "out of its worker's order";
        last_of[value / each] = value;
        ++taken;
    }
    EXPECT_EQ(taken, workers * each);
    EXPECT_TRUE(queue.take_all().empty());
}

}  // namespace
