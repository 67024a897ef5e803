// Shows the error dialog with a sample error, for screenshots of how it looks.
#include "errors/fehlerwart.h"
#include "services/procedure.h"
#include "services/resfiles.h"
#include "services/runtimeerror.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kalmix::initResources();
    kalmix::Fehlerwart::install();
    kalmix::Procedure("frmKalmix", "Form_Load")
        .run({
            [] { kalmix::raiseError(kalmix::ErrNr::PathFileAccess); },
        });
    return 0;
}
