// A restart releases the old scene: the heap must not grow however often scenes are restarted.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <vector>

#include "heap_gauge.h"
#include "interaction/keyboard.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

TEST(HeapGauge, SeesABlockComeAndGo) {
    const std::size_t before = heapBytesInUse();
    auto* block = static_cast<volatile char*>(std::malloc(1 << 20));
    ASSERT_NE(block, nullptr);
    block[0] = 1;
    EXPECT_GE(heapBytesInUse(), before + (1 << 20));
    std::free(const_cast<char*>(block));
    EXPECT_LT(heapBytesInUse(), before + (1 << 20));
}

TEST(RestartMemory, StaysFlatOverThousandsOfRestarts) {
    constexpr int kRounds = 200;
    constexpr std::size_t kGrowthLimit = 64 * 1024;  // bytes; a scene leaked per round would pass it within a few rounds
    const unsigned char scenes[] = {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'};

    // The first round lets the allocator settle; the heap is then read after every '1'.
    std::vector<std::size_t> heap;
    heap.reserve(kRounds);
    for (int round = 0; round < kRounds; ++round) {
        for (unsigned char key : scenes) {
            onKey(key, 0, 0);
            for (int i = 0; i < 5; ++i) onIdle();
        }
        onKey('1', 0, 0);
        if (round > 0) heap.push_back(heapBytesInUse());
    }
    const std::size_t first = heap.front();
    std::size_t highest = first;
    for (std::size_t h : heap) highest = h > highest ? h : highest;
    std::cout << kRounds * 11 << " restarts: heap " << first << " bytes after the first round, " << heap.back()
              << " after the last, at most " << highest << "\n";
    EXPECT_LE(highest, first + kGrowthLimit);
}

}  // namespace
