#include "main/startup.h"

#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "services/appinfo.h"
#include "services/pictures.h"
#include "services/resfiles.h"

#include <QApplication>
#include <memory>

namespace kalmix {

int runKalmix(QApplication& app) {
    initResources();
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    Fehlerwart::install();

    loadFonts();
    // The About box starts as the splash: language, language file, then the main window.
    std::unique_ptr<frmKalmix> window(frmInfo::startUp());
    return app.exec();
}

} // namespace kalmix
