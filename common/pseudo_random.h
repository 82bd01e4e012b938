#pragma once

#include <cstdint>

namespace torvane {

// The pseudo-random generator used for shuffling and picking (the services'
// pseudo_random, else a built-in XoshiroRandom). It never supplies file
// content: that comes from the cryptographic source.
class PseudoRandom {
 public:
  virtual ~PseudoRandom() = default;
  // The next value in [0, 1).
  virtual double Next() = 0;
  // Puts the generator into a state that depends only on `seed`.
  virtual void Reseed(double seed) = 0;
};

// xoshiro256** seeded through splitmix64 from the seed's bit pattern.
class XoshiroRandom : public PseudoRandom {
 public:
  XoshiroRandom() { Reseed(0.0); }
  double Next() override;
  void Reseed(double seed) override;

 private:
  std::uint64_t s_[4];
};

// The next value in [0, 1), and a reseed, of the services' generator (else
// the built-in one, which starts as if reseeded with 0).
double Rnd();
void RandomizeReseed(double seed);

}  // namespace torvane
