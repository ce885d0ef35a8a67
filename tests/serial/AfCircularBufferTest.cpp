#include "serial/AfCircularBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace halvex {
namespace {

// The bytes the write thread would send, in order: the contiguous piece, then the rest.
std::string Pending(const TAfCircularBuffer& ring) {
    std::string out;
    std::int32_t index = ring.ReadIndex();
    for (std::int32_t i = 0; i < ring.Used(); ++i) {
        out.push_back(static_cast<char>(ring.Data()[index]));
        index = index + 1 == ring.Size() ? 0 : index + 1;
    }
    return out;
}

TEST(AfCircularBuffer, FullRingRefusesUntilSkipped) {
    TAfCircularBuffer ring(2048);
    std::vector<std::uint8_t> block(2048, 0x5A);
    EXPECT_EQ(ring.Free(), 2048);
    ASSERT_TRUE(ring.Put(block.data(), 2048));
    EXPECT_EQ(ring.Used(), 2048);
    EXPECT_EQ(ring.Free(), 0);
    EXPECT_EQ(ring.ContiguousUsed(), 2048);
    EXPECT_FALSE(ring.Empty());
    const std::uint8_t one = 1;
    EXPECT_FALSE(ring.Put(&one, 1));
    EXPECT_EQ(ring.Used(), 2048);
    ASSERT_TRUE(ring.Skip(1));
    EXPECT_EQ(ring.Used(), 2047);
    EXPECT_TRUE(ring.Put(&one, 1));
    EXPECT_EQ(ring.Used(), 2048);
    EXPECT_EQ(ring.ContiguousUsed(), 2047); // read index 1 up to the end
}

TEST(AfCircularBuffer, ZeroAndInvalidCounts) {
    TAfCircularBuffer ring(16);
    const char data[] = "abcdefgh";
    EXPECT_FALSE(ring.Put(data, 0));
    EXPECT_FALSE(ring.Put(data, -1));
    EXPECT_TRUE(ring.Empty());
    ASSERT_TRUE(ring.Put(data, 8));
    EXPECT_TRUE(ring.Skip(0));
    EXPECT_EQ(ring.Used(), 8);
    EXPECT_EQ(ring.ReadIndex(), 0);
    EXPECT_FALSE(ring.Skip(-1));
    EXPECT_FALSE(ring.Skip(9)); // more than used: nothing changes
    EXPECT_EQ(ring.Used(), 8);
    EXPECT_EQ(Pending(ring), "abcdefgh");
    // A Put larger than the free space is refused whole, contents untouched.
    std::string big(9, 'x');
    EXPECT_FALSE(ring.Put(big.data(), 9));
    EXPECT_EQ(Pending(ring), "abcdefgh");
    EXPECT_TRUE(ring.Put(big.data(), 8));
    EXPECT_EQ(ring.Free(), 0);
}

TEST(AfCircularBuffer, SkipZeroKeepsFullFlag) {
    TAfCircularBuffer ring(4);
    ASSERT_TRUE(ring.Put("wxyz", 4));
    EXPECT_TRUE(ring.Skip(0));
    EXPECT_EQ(ring.Used(), 4);
    EXPECT_TRUE(ring.Skip(4));
    EXPECT_TRUE(ring.Empty());
    EXPECT_EQ(ring.Used(), 0);
}

TEST(AfCircularBuffer, PutAcrossTheEndStoresTailAtStart) {
    TAfCircularBuffer ring(8);
    ASSERT_TRUE(ring.Put("123456", 6));
    ASSERT_TRUE(ring.Skip(6)); // read = write = 6
    ASSERT_TRUE(ring.Put("ABCDE", 5));
    EXPECT_EQ(ring.Used(), 5);
    EXPECT_EQ(ring.ContiguousUsed(), 2); // only the piece up to the end
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ring.Data()) + 6, 2), "AB");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ring.Data()), 3), "CDE");
    ASSERT_TRUE(ring.Skip(2)); // the first device write
    EXPECT_EQ(ring.ReadIndex(), 0);
    EXPECT_EQ(ring.ContiguousUsed(), 3); // the second piece
    EXPECT_EQ(Pending(ring), "CDE");
}

TEST(AfCircularBuffer, PutBehindTheReadIndexAndFullAfterWrap) {
    TAfCircularBuffer ring(8);
    ASSERT_TRUE(ring.Put("abcdef", 6));
    ASSERT_TRUE(ring.Skip(4));        // read 4, write 6
    ASSERT_TRUE(ring.Put("ghij", 4)); // 2 at the end, 2 at the start: write 2 < read 4
    EXPECT_EQ(ring.WriteIndex(), 2);
    ASSERT_TRUE(ring.Put("kl", 2)); // in one piece behind the read index: now full
    EXPECT_EQ(ring.Used(), 8);
    EXPECT_EQ(ring.Free(), 0);
    EXPECT_EQ(ring.ContiguousUsed(), 4);
    EXPECT_EQ(Pending(ring), "efghijkl");
    EXPECT_FALSE(ring.Put("m", 1));
}

TEST(AfCircularBuffer, ClearEmptiesAndResetsIndices) {
    TAfCircularBuffer ring(8);
    ASSERT_TRUE(ring.Put("abcdefgh", 8));
    ring.Clear();
    EXPECT_TRUE(ring.Empty());
    EXPECT_EQ(ring.Used(), 0);
    EXPECT_EQ(ring.Free(), 8);
    EXPECT_EQ(ring.ReadIndex(), 0);
    EXPECT_EQ(ring.WriteIndex(), 0);
    EXPECT_EQ(ring.ContiguousUsed(), 0);
}

TEST(AfCircularBuffer, SizeBelowOneRefusesEverything) {
    for (std::int32_t size : {0, -5}) {
        TAfCircularBuffer ring(size);
        EXPECT_EQ(ring.Size(), 0);
        EXPECT_EQ(ring.Free(), 0);
        EXPECT_FALSE(ring.Put("a", 1));
        EXPECT_TRUE(ring.Skip(0));
    }
}

// Random Put/Skip sequences against a simple queue: contents, counts and pieces agree.
TEST(AfCircularBuffer, MatchesQueueModelUnderRandomUse) {
    std::mt19937 random(12345);
    for (std::int32_t size : {1, 7, 64, 2048}) {
        TAfCircularBuffer ring(size);
        std::deque<char> model;
        char next = 0;
        for (int step = 0; step < 5000; ++step) {
            if (random() % 2 == 0) {
                const auto n = static_cast<std::int32_t>(random() % (size + 2));
                std::string block;
                for (std::int32_t i = 0; i < n; ++i)
                    block.push_back(next++);
                const bool fits = n >= 1 && n <= size - static_cast<std::int32_t>(model.size());
                ASSERT_EQ(ring.Put(block.data(), n), fits) << "size " << size << " step " << step;
                if (fits)
                    model.insert(model.end(), block.begin(), block.end());
                else
                    next = static_cast<char>(next - n);
            } else {
                // Like the write thread: skip part of the contiguous piece.
                const std::int32_t piece = ring.ContiguousUsed();
                ASSERT_LE(piece, ring.Used());
                ASSERT_EQ(piece == 0, model.empty());
                const auto n = piece == 0 ? 0 : static_cast<std::int32_t>(random() % piece) + 1;
                ASSERT_TRUE(ring.Skip(n));
                model.erase(model.begin(), model.begin() + n);
            }
            ASSERT_EQ(ring.Used(), static_cast<std::int32_t>(model.size()));
            ASSERT_EQ(ring.Free(), size - ring.Used());
            ASSERT_EQ(Pending(ring), std::string(model.begin(), model.end()));
        }
    }
}

} // namespace
} // namespace halvex
