#include "main/startup.h"

#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/oneinstance.h"
#include "services/pictures.h"
#include "services/plaintext.h"
#include "services/resfiles.h"
#include "services/settings.h"

#include <QApplication>
#include <memory>

namespace kalmix {

namespace {

// Whether this start goes on: not when another Kalmix runs on the same settings file (it was
// asked to come to the front, or the user is told it could not be reached).
bool startsAlone(OneInstance& one) {
    switch (one.start()) {
    case OneInstance::Start::First:
        one.onRequest(bringWindowsToFront);
        return true;
    case OneInstance::Start::Handed:
        return false;
    case OneInstance::Start::Refused:
        break;
    }
    SprachBasis = startLanguage();
    WriteLanguageCopy();
    MsgBox(langText(225), MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
}

} // namespace

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
    std::unique_ptr<frmKalmix> window(frmInfo::startUp());
    return app.exec();
}

} // namespace kalmix
