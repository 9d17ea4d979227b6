// Small deterministic generator (xorshift64*), seeded through splitmix64 so
// that nearby seeds give unrelated streams.
#ifndef TSGEN_RNG_H
#define TSGEN_RNG_H

#include <cstdint>
#include <cstring>

namespace tsgen {

class Rng {
  public:
    explicit Rng(uint64_t seed) {
        uint64_t z = seed + 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        state_ = (z ^ (z >> 31)) | 1;
    }

    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }

    // Uniform enough in [low, high] for picking sizes and streams.
    uint64_t between(uint64_t low, uint64_t high) { return low + next() % (high - low + 1); }

    void fill(uint8_t* out, size_t size) {
        while (size >= 8) {
            const uint64_t v = next();
            std::memcpy(out, &v, 8);
            out += 8;
            size -= 8;
        }
        if (size > 0) {
            const uint64_t v = next();
            std::memcpy(out, &v, size);
        }
    }

  private:
    uint64_t state_;
};

}  // namespace tsgen

#endif
