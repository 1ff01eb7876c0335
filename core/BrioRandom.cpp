#include "BrioRandom.h"

#include <chrono>
#include <random>

namespace brio {

namespace {
constexpr std::uint_fast32_t kFixedSeed = 327680;

std::mt19937& generator() {
    static std::mt19937 gen(kFixedSeed);
    return gen;
}
} // namespace

double Rnd() {
    // 32 random bits scaled into [0, 1); never 1.
    return static_cast<double>(generator()()) / 4294967296.0;
}

void Randomize() {
    generator().seed(
        static_cast<std::uint_fast32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
}

void ResetRandom() {
    generator().seed(kFixedSeed);
}

} // namespace brio
