#include "engine/roundsummary.h"

namespace kalmix {

int roundStars(const RoundSummary& s) {
    const int slips = s.wrong + s.helped;
    if (slips == 0)
        return 3;
    if (slips <= 1 || 5 * slips <= s.solved)
        return 2;
    return 1;
}

} // namespace kalmix
