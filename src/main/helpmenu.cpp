#include "main/frmkalmix.h"

#include "about/frminfo.h"
#include "main/helpwindow.h"
#include "report/reportwindow.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/procedure.h"
#include "settings/passwordlock.h"

#include <QUrl>

// The help menu of the toolbar's help button.
namespace kalmix {

QString frmKalmix::emailAddress() {
    return QStringLiteral("mailto:") + supportEmail() + QStringLiteral("?Subject=") +
           QLatin1String(kProgramTitle);
}

void frmKalmix::mnuOnlinehilfe_Click() {
    Procedure("frmKalmix", "mnuOnlinehilfe_Click").run({[&] {
        if (!m_help)
            m_help = new HelpWindow(this);
        m_help->showIndex(SprachBasis);
        m_help->show();
        m_help->raise();
        m_help->activateWindow();
    }});
}

void frmKalmix::mnuHomepage_Click() {
    Procedure("frmKalmix", "mnuHomepage_Click").run({[&] { ShellOpen(QUrl(homePage())); }});
}

void frmKalmix::mnuEMail_Click() {
    Procedure("frmKalmix", "mnuEMail_Click").run({[&] { ShellOpen(QUrl(emailAddress())); }});
}

void frmKalmix::mnuUeber_Click() {
    Procedure("frmKalmix", "mnuUeber_Click").run({[&] {
        frmInfo about(this);
        about.exec();
    }});
}

// The report is for grown-ups: it shows the whole class and writes and merges files. While a
// password is set, it opens only for the one who knows it, as the options do.
void frmKalmix::mnuBericht_Click() {
    Procedure("frmKalmix", "mnuBericht_Click").run({[&] {
        if (unlockOptions(this))
            ReportWindow::showReport(this);
    }});
}

} // namespace kalmix
