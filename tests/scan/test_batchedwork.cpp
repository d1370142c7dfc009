#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/batchedwork.h"

namespace mellowby::scan {
namespace {

// Calls of a number and a text each, carried out in the order they were written, across many
// small batches, however far the walk runs ahead; the final task runs once all are carried out.
TEST(BatchedWork, CallsAreCarriedOutInOrderAndTheTaskLast)
{
    std::vector<std::string> done;
    BatchedWork work(
        [&](std::string_view batch) {
            BatchReader reader(batch);
            while (!reader.atEnd()) {
                const char marker = reader.byte();
                const auto number = reader.value<std::uint64_t>();
                done.push_back(std::string(1, marker) + std::to_string(number) + ":" + std::string(reader.text()));
            }
        },
        2, 64);
    std::vector<std::string> expected;
    for (std::uint64_t i = 0; i < 1000; ++i) {
        const std::string text(i % 7, 'x');
        work.put('c');
        work.put(i);
        work.putText(text);
        work.callWritten();
        expected.push_back("c" + std::to_string(i) + ":" + text);
    }
    std::size_t doneWhenTaskRan = 0;
    work.finishWith([&] { doneWhenTaskRan = done.size(); });
    work.wait();
    EXPECT_EQ(done, expected);
    EXPECT_EQ(doneWhenTaskRan, 1000u);
    EXPECT_FALSE(work.failed());
}

// A call that fails ends the work: the walk learns it without waiting, what it hands over after
// is dropped, the task does not run, and wait() passes the failure on.
TEST(BatchedWork, AFailureEndsTheWorkAndIsPassedOn)
{
    int batches = 0;
    BatchedWork work(
        [&](std::string_view) {
            if (++batches == 3)
                throw std::runtime_error("disk full");
        },
        1, 8);
    for (std::uint64_t i = 0; i < 100000 && !work.failed(); ++i) {
        work.put(i);
        work.callWritten();
    }
    EXPECT_TRUE(work.failed());
    bool taskRan = false;
    work.finishWith([&] { taskRan = true; });
    EXPECT_THROW(
        {
            try {
                work.wait();
            } catch (const std::runtime_error& failure) {
                EXPECT_STREQ(failure.what(), "disk full");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_FALSE(taskRan);
    EXPECT_EQ(batches, 3);
}

} // namespace
} // namespace mellowby::scan
