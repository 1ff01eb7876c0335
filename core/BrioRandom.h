#pragma once

namespace brio {

// The process's one pseudo-random generator. It starts from a fixed seed, so a run that draws in the
// same order gets the same numbers; only Randomize reseeds it, from the clock.
double Rnd();       // uniform in [0, 1)
void Randomize();   // reseed from the clock
void ResetRandom(); // back to the fixed seed, as at start (for tests)

} // namespace brio
