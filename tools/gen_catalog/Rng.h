#pragma once

#include <cstdint>

// splitmix64. Our own generator and our own range reduction, because the standard distributions may give
// different numbers with another standard library, and the sample must be the same on every machine.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // 0 <= result < n. The modulo bias is far below anything a catalogue could show.
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }

    // lo <= result <= hi
    std::int64_t between(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(hi - lo) + 1));
    }

    // True with a probability of perMille / 1000.
    bool chance(int perMille) { return below(1000) < static_cast<std::uint64_t>(perMille); }

private:
    std::uint64_t m_state;
};
