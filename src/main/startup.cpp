#include "main/startup.h"

#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/settings.h"

#include <QApplication>

namespace kalmix {

int runKalmix(QApplication& app) {
    initResources();
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    Fehlerwart::install();

    SprachBasis = startLanguage();
    WriteLanguageCopy();

    frmKalmix window;
    window.show();
    return app.exec();
}

} // namespace kalmix
