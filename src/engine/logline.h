#pragma once

#include <QString>

namespace kalmix {

// Lines of the practice log. Items are either joined or zone-advanced: blanks up to the next
// print zone (zones 14 columns wide, starting at columns 1, 15, 29, ...). An item that ends
// exactly at a zone's end is followed by a whole zone of blanks, so items never touch.
QString zoneAdvanced(const QString& line, const QString& item);

// An answer's line: the time, a tab, the task and the answer joined, and, when there is one,
// the note ("wrong", "with help") zone-advanced.
QString composeLogLine(const QString& time, const QString& task, const QString& answer,
                       const QString& note = {});

} // namespace kalmix
