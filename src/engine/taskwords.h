#pragma once

#include "engine/gameevents.h"

#include <QString>

namespace kalmix {

// What read-aloud says for a task, in the interface language (its digit, 0 German to
// 6 French): a counting or symbol task is the board's question, an arithmetic task its two
// numbers with the operator's word between them ("4 plus 5", "40 geteilt durch 8"). The
// numbers stay digits; every voice reads them as numbers in its language. Empty for a task
// of no known operation.
QString taskWords(const TaskFacts& task, int language, const QString& question);

} // namespace kalmix
