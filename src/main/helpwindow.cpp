#include "main/helpwindow.h"

#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/pictures.h"

#include <QFile>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalmix {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setWindowIcon(QIcon(picture(QStringLiteral(":/pictures/kalmix.svg"), QSize(64, 64))));
    resize(680, 560);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    m_back = new QToolButton(this);
    m_forward = new QToolButton(this);
    m_home = new QToolButton(this);
    m_back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_forward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    m_home->setIcon(QIcon(picture(QStringLiteral(":/pictures/kalmix.svg"), QSize(24, 24))));
    for (QToolButton* b : {m_back, m_forward, m_home}) {
        b->setAutoRaise(true);
        b->setIconSize(QSize(24, 24));
        bar->addWidget(b);
    }
    bar->addStretch(1);
    layout->addLayout(bar);

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenLinks(true);
    browser->setOpenExternalLinks(false);
    layout->addWidget(browser, 1);

    connect(m_back, &QToolButton::clicked, browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, browser, &QTextBrowser::forward);
    connect(m_home, &QToolButton::clicked, this, [this] { showIndex(m_sprachBasis); });
    connect(browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, [this] {
        QString title = QLatin1String(kProgramTitle);
        if (!browser->documentTitle().isEmpty())
            title += QStringLiteral(" - ") + browser->documentTitle();
        setWindowTitle(title);
    });
    // Addresses outside the help go to the user's own programs.
    connect(browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("qrc") || url.isRelative())
            return;
        browser->setSource(browser->source()); // stay on the page
        ShellOpen(url);
    });
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
}

QUrl HelpWindow::indexPage(int sprachBasis) {
    // One folder of pages per language, in the order of the language digits.
    static const char* const folders[] = {"de", "en", "sv", "it", "es", "nb", "fr"};
    const int digit = sprachBasis / 1000;
    QString page = QStringLiteral("/help/%1/index.html")
                       .arg(QLatin1String(digit >= 0 && digit < 7 ? folders[digit] : "en"));
    if (!QFile::exists(QLatin1Char(':') + page)) // a language without pages reads English
        page = QStringLiteral("/help/en/index.html");
    return QUrl(QStringLiteral("qrc:") + page);
}

void HelpWindow::showIndex(int sprachBasis) {
    m_sprachBasis = sprachBasis;
    browser->setSource(indexPage(sprachBasis));
}

} // namespace kalmix
