#include "engine/taskwords.h"

#include <array>

namespace kalmix {

namespace {

// The operators' words per language: plus, minus, times, divided by.
struct OperatorWords {
    const char16_t* plus;
    const char16_t* minus;
    const char16_t* times;
    const char16_t* dividedBy;
};

constexpr std::array<OperatorWords, 7> kWords{{
    {u"plus", u"minus", u"mal", u"geteilt durch"}, // German
    {u"plus", u"minus", u"times", u"divided by"},  // English
    {u"plus", u"minus", u"gånger", u"delat med"},  // Swedish
    {u"più", u"meno", u"per", u"diviso"},          // Italian
    {u"más", u"menos", u"por", u"dividido entre"}, // Spanish
    {u"pluss", u"minus", u"ganger", u"delt på"},   // Norwegian
    {u"plus", u"moins", u"fois", u"divisé par"},   // French
}};

} // namespace

QString taskWords(const TaskFacts& task, int language, const QString& question) {
    if (task.operation == u"count" || task.operation == u"symbols")
        return question;
    const OperatorWords& w = kWords[language >= 0 && language < 7 ? language : 0];
    const char16_t* word = nullptr;
    if (task.operation == u"+")
        word = w.plus;
    else if (task.operation == u"-")
        word = w.minus;
    else if (task.operation == u"*")
        word = w.times;
    else if (task.operation == u"/")
        word = w.dividedBy;
    if (!word || !task.b)
        return {};
    return QStringLiteral("%1 %2 %3").arg(task.a).arg(QString::fromUtf16(word)).arg(*task.b);
}

} // namespace kalmix
