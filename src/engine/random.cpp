#include "engine/random.h"

#include "services/clock.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"

#include <QRandomGenerator>
#include <cmath>
#include <limits>

namespace kalmix {

namespace {

class SystemRandom final : public RandomSource {
public:
    SystemRandom() : m_gen(QRandomGenerator::securelySeeded()) {}
    void reseed() override {
        // Mixing the timer in, rather than seeding from it alone, never repeats a sequence
        // when two draws fall into the same timer tick.
        m_gen.seed(m_gen.generate() ^ static_cast<quint32>(clock().monotonicMs()));
    }
    double next() override { return m_gen.generateDouble(); }

private:
    QRandomGenerator m_gen;
};

RandomSource*& current() {
    static RandomSource* r = nullptr;
    return r;
}

} // namespace

RandomSource& randomSource() {
    if (current())
        return *current();
    static SystemRandom system;
    return system;
}

void setRandomSource(RandomSource* source) {
    current() = source;
}

std::int16_t Zufallszahl(std::int32_t von, std::int32_t bis) {
    std::int16_t result = 0;
    Procedure("Allgemein", "Zufallszahl")
        .run({
            [&] { randomSource().reseed(); },
            [&] {
                const double r = randomSource().next();
                const double v = std::floor((double(bis) - von + 1) * r + von);
                if (v < std::numeric_limits<std::int16_t>::min() ||
                    v > std::numeric_limits<std::int16_t>::max())
                    raiseError(ErrNr::Overflow);
                result = static_cast<std::int16_t>(v);
            },
        });
    return result;
}

} // namespace kalmix
