#pragma once

#include <cstdint>

namespace kalmix {

// The random source: uniform numbers in [0, 1). Tests install a seeded or scripted one.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Mixes the timer into the generator's state; called before every draw.
    virtual void reseed() = 0;
    virtual double next() = 0;
};

RandomSource& randomSource();
void setRandomSource(RandomSource* source); // nullptr restores the program's own

// An integer drawn uniformly from von to bis, both included; von when bis = von - 1.
std::int16_t Zufallszahl(std::int32_t von, std::int32_t bis);

} // namespace kalmix
