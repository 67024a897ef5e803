#include "main/qttexts.h"

#include "services/lang.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <utility>

namespace kalmix {

namespace {

// The standard buttons from the language file, for a language Qt has no translation of.
class ButtonTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* = nullptr,
                      int = -1) const override {
        if (qstrcmp(context, "QPlatformTheme") != 0 && qstrcmp(context, "QGnomeTheme") != 0)
            return {};
        static const std::pair<const char*, int> texts[] = {{"&Yes", 210},   {"&No", 211},
                                                            {"OK", 212},     {"&OK", 212},
                                                            {"Cancel", 213}, {"&Cancel", 213}};
        for (const auto& [text, nr] : texts)
            if (qstrcmp(source, text) == 0)
                return langText(nr);
        return {};
    }
};

} // namespace

void useQtTranslations(int sprachBasis) {
    static QPointer<QTranslator> qt;
    static QPointer<ButtonTexts> own;
    if (!QCoreApplication::instance())
        return;
    if (!qt) {
        qt = new QTranslator(QCoreApplication::instance());
        own = new ButtonTexts(QCoreApplication::instance());
    }
    QCoreApplication::removeTranslator(qt);
    QCoreApplication::removeTranslator(own);
    // Qt's names of Kalmix's languages; Norwegian is Bokmål, which Qt does not translate to.
    static const char* const names[7] = {"de", "en", "sv", "it", "es", "nb", "fr"};
    const int digit = sprachBasis / 1000;
    if (digit < 0 || digit > 6 || digit == 1)
        return; // English: Qt's texts as they are
    if (qt->load(QStringLiteral("qtbase_") + QLatin1String(names[digit]),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        QCoreApplication::installTranslator(own);
}

} // namespace kalmix
