#include "main/startup.h"

#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "profiles/languagechoice.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/oneinstance.h"
#include "services/pictures.h"
#include "services/plaintext.h"
#include "services/resfiles.h"

#include <QApplication>
#include <QDir>
#include <memory>

namespace kalmix {

namespace {

// The language a message before the main window speaks: the stored one, or the system's.
void prepareLanguage() {
    SprachBasis = startLanguage();
    WriteLanguageCopy();
}

} // namespace

bool startsAlone(OneInstance& one) {
    OneInstance::Start start = one.start();
    if (start == OneInstance::Start::Elsewhere) {
        // Left open on a computer that this one cannot ask: the user knows whether it still
        // runs there.
        prepareLanguage();
        const QString text =
            langText(395).arg(one.holderHost(), QDir::toNativeSeparators(one.lockFile()));
        if (MsgBox(text, MsgButtons::YesNo, MsgIcon::Question, nullptr, {}, MsgResult::No) !=
            MsgResult::Yes)
            return false;
        start = one.takeOver();
    }
    switch (start) {
    case OneInstance::Start::First:
        one.onRequest(bringWindowsToFront);
        keepPasswordPrivate();
        return true;
    case OneInstance::Start::Handed:
        return false;
    case OneInstance::Start::Refused:
    case OneInstance::Start::Elsewhere:
        break;
    }
    prepareLanguage();
    MsgBox(langText(225), MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
}

frmKalmix* startUpWithSplash() {
    frmKalmix* main = nullptr;
    frmInfo::startUp([&main]() -> QWidget* { return main = new frmKalmix; });
    return main;
}

int runKalmix(QApplication& app) {
    initResources();
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    Fehlerwart::install();

    // One Kalmix per settings file: a later start brings the running one to the front.
    OneInstance one(iniFilePath());
    if (!startsAlone(one))
        return 0;
    showToolTipsAsPlainText(app);
    loadFonts();
    // The About box starts as the splash: language, language file, then the main window.
    std::unique_ptr<frmKalmix> window(startUpWithSplash());
    return app.exec();
}

} // namespace kalmix
