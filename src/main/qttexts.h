#pragma once

namespace kalmix {

// Puts Qt's own texts (the standard buttons Yes, No, OK and Cancel of message boxes, the
// context menu of the answer box) into the language of a language base (0 German, 1000
// English, ... 6000 French). Qt's translations are used where the system has them; for a
// language without them the standard buttons take their texts from the language file.
// Called again at every change of language.
void useQtTranslations(int sprachBasis);

} // namespace kalmix
