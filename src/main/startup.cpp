#include "main/startup.h"

#include "errors/fehlerwart.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/settings.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace kalmix {

int runKalmix(QApplication& app) {
    initResources();
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    Fehlerwart::install();

    SprachBasis = startLanguage();
    WriteLanguageCopy();

    // The board and its windows come with the game; until then a plain start window.
    QWidget window;
    window.setWindowTitle(QString::fromLatin1(kProgramTitle));
    auto* layout = new QVBoxLayout(&window);
    auto* title = new QLabel(QString::fromLatin1(kProgramTitle), &window);
    QFont big = title->font();
    big.setPointSize(28);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto* hint = new QLabel(GetLang(static_cast<std::int16_t>(SprachBasis + 102)), &window);
    hint->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addWidget(hint);
    window.resize(480, 240);
    window.show();
    return app.exec();
}

} // namespace kalmix
