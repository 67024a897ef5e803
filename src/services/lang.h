#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

namespace kalmix {

// The current language: its digit (0 German, 1 English, 2 Swedish, 3 Italian, 4 Spanish,
// 5 Norwegian, 6 French) times 1000. Callers add a text number to it for GetLang.
extern std::int16_t SprachBasis;
// Full path of the language file copy in the temporary directory.
extern QString LangDatei;

// The text with the key Nr (language base plus text number, 1124 = English 124) from the
// language file copy, at most 254 characters; the empty text when there is none.
QString GetLang(std::int16_t nr);
// Text number nr (101 to 192) in the current language.
inline QString langText(int nr) {
    return GetLang(static_cast<std::int16_t>(SprachBasis + nr));
}

// The text with the key nr from the language file built into the program, whatever language
// copy is in use: for messages written where no language is chosen (the command line).
QString builtInLangText(std::int16_t nr);

// Whether a count takes a language's form for one thing rather than its form for several:
// French counts 0 with 1 ("0 étoile"), the other six languages only 1 itself.
bool countTakesSingular(std::int16_t languageBase, qint64 count);
// A text that shows a count, in the form that count needs. The text holds its form for one
// thing and its form for several, split by '|' ("%1 stella su 3|%1 stelle su 3"), or a single
// form that fits every count ("%1 of 3 stars"); a %1 in the chosen form becomes the count.
QString countForm(const QString& forms, qint64 count, std::int16_t languageBase);
// Text number nr in the current language, in the form the count needs.
QString langCount(int nr, qint64 count);

// Writes the language file copy ("~tmp.lng" in the temporary directory) and sets LangDatei.
void WriteLanguageCopy();

// The user's locale as a Windows language identifier in four hex digits ("0407" for de_DE).
QString localeLanguageId(const QLocale& locale);
// The user's locale; tests put their own here.
QLocale systemLocale();
void setSystemLocaleForTesting(std::function<QLocale()> locale);
// The Windows language identifier of the user's locale.
QString GetLocaleInfo();

// A first start is a settings file without "Sprache" in "Optionen".
bool isFirstStart();
// The language base for the start: from the locale on a first start (German only for "0407",
// else English), afterwards the stored "Sprache".
std::int16_t startLanguage();
// A stored language offset as one of the seven languages (0, 1000, ... 6000): the nearest one.
std::int16_t validLanguage(int stored);
// Stores SprachBasis under "Sprache" in "Optionen". A stored value that is none of the seven
// languages (a hand-edited 7000 or "abc") and reads as the current language stays as it is:
// only another language chosen replaces it.
void SaveLanguage();

} // namespace kalmix
