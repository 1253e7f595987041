#pragma once

#include <cstdint>

// A seeded generator of our own (splitmix64), so that a soak replays exactly from its seed
// on every platform and library; rand() and <random>'s distributions promise neither.
class SoakRandom {
public:
    explicit SoakRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n) for n > 0 (multiply-shift; the bias is below 2^-32).
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>(((next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
    }

    // Uniform in [lo, hi], both inclusive.
    int between(int lo, int hi) {
        const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
        return static_cast<int>(static_cast<std::int64_t>(lo) + static_cast<std::int64_t>(next() % span));
    }

    // True with probability percent / 100.
    bool percent(std::uint32_t percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};
