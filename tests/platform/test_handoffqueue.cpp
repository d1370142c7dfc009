#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "platform/handoffqueue.h"

namespace mellowby::platform {
namespace {

// A user slower than its maker: before each item it lets the maker run on until the maker has
// tried to hand over one item past the bound. The maker is never more than the bound ahead, and
// every item arrives once, in order.
TEST(HandoffQueue, TheMakerWaitsAtTheBoundAndNothingIsLost)
{
    constexpr int kBound = 3;
    constexpr int kItems = 200;
    HandoffQueue<int> queue(kBound);
    std::atomic<int> tried = 0; // pushes begun
    std::atomic<int> made = 0; // pushes returned
    std::thread maker([&] {
        for (int item = 0; item < kItems; ++item) {
            tried = item + 1;
            if (!queue.push(item))
                break;
            made = item + 1;
        }
        queue.finish();
    });
    for (int taken = 0; taken < kItems; ++taken) {
        while (tried < std::min(kItems, taken + kBound + 1))
            std::this_thread::yield();
        EXPECT_LE(made.load(), taken + kBound);
        const auto item = queue.pop();
        EXPECT_EQ(item, taken);
        if (item != taken) {
            queue.stop();
            break;
        }
    }
    EXPECT_EQ(queue.pop(), std::nullopt);
    maker.join();
    EXPECT_EQ(made.load(), kItems);
}

// Either side may end the hand-off, whoever is waiting: the maker's pushes fail from then on and
// the user's pops give nothing, whatever the maker had made. A full queue says so until then.
TEST(HandoffQueue, StoppingEndsBothSides)
{
    HandoffQueue<int> queue(1);
    EXPECT_FALSE(queue.full());
    ASSERT_TRUE(queue.push(1));
    EXPECT_TRUE(queue.full());
    std::thread maker([&] { EXPECT_FALSE(queue.push(2)); });
    queue.stop();
    maker.join();
    EXPECT_TRUE(queue.stopped());
    EXPECT_FALSE(queue.full());
    EXPECT_EQ(queue.pop(), std::nullopt);
    EXPECT_FALSE(queue.push(3));
}

} // namespace
} // namespace mellowby::platform
