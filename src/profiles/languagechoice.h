#pragma once

// The language the settings file keeps ("Sprache" in "Optionen").

#include <cstdint>

namespace kalmix {

// A first start is a settings file without "Sprache" in "Optionen".
bool isFirstStart();
// The language base for the start: from the locale on a first start (German only for "0407",
// else English), afterwards the stored "Sprache".
std::int16_t startLanguage();
// Stores SprachBasis under "Sprache" in "Optionen". A stored value that is none of the seven
// languages (a hand-edited 7000 or "abc") and reads as the current language stays as it is:
// only another language chosen replaces it.
void SaveLanguage();

} // namespace kalmix
