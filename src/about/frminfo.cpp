#include "about/frminfo.h"

#include "errors/procedure.h"
#include "main/frmkalmix.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/pictures.h"
#include "services/twips.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace kalmix {

bool Gestartet = false;

namespace {
constexpr int kClientWidth = 5340;
constexpr int kClientHeight = 4935;
} // namespace

QString frmInfo::versionLine(int major, int minor, int revision) {
    return QLatin1String(kProgramTitle) + QStringLiteral("    ") + QString::number(major) + u'.' +
           QStringLiteral("%1").arg(minor, 2, 10, QLatin1Char('0')) + u'.' +
           QStringLiteral("%1").arg(revision, 4, 10, QLatin1Char('0'));
}

frmInfo::frmInfo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QLatin1String(kProgramTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(kClientWidth), px(kClientHeight));
    loadFonts();

    Label[0] = new QLabel(this);
    Label[0]->setObjectName(QStringLiteral("Label_0"));
    Label[0]->setGeometry(px(840), px(1200), px(3735), px(375));
    Label[0]->setAlignment(Qt::AlignCenter);
    QFont title(boardFontFamily());
    title.setPointSize(12);
    title.setBold(true);
    Label[0]->setFont(title);

    Label[3] = new QLabel(this);
    Label[3]->setObjectName(QStringLiteral("Label_3"));
    Label[3]->setGeometry(px(720), px(2400), px(3372), px(252));
    Label[3]->setAlignment(Qt::AlignCenter);
    QFont small = font();
    small.setPointSizeF(8.25);
    Label[3]->setFont(small);
    for (int i : {0, 3}) {
        Label[i]->setTextFormat(Qt::PlainText);
        Label[i]->setStyleSheet(QStringLiteral("color: #f6f4e8;"));
    }

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1_1"));
    Image1->setGeometry(px(3960), px(2430), px(480), px(480));
    Image1->setPixmap(picture(QStringLiteral(":/ICON/104"), QSize(32, 32)));

    ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(px(3120), px(3960), px(615), px(495));
    ok->setVisible(false);
    connect(ok, &QPushButton::clicked, this, [this] { ok_Click(); });

    Form_Load();
}

void frmInfo::paintEvent(QPaintEvent*) {
    // The About picture: the blackboard with the program's logo above the texts.
    QPainter p(this);
    // The board's picture is drawn once at its own size and shared with the main window.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(rect(), picture(QStringLiteral(":/pictures/board.svg"), QSize(518, 371)));
    const QSize logo(64, 64);
    p.drawPixmap((width() - logo.width()) / 2, 14,
                 picture(QStringLiteral(":/pictures/kalmix.svg"), logo));
}

void frmInfo::Form_Load() {
    Procedure("frmInfo", "Form_Load")
        .run({
            [&] {
                if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                    const QRect area = screen->geometry();
                    move(area.x() + (area.width() - width()) / 2,
                         area.y() + (area.height() - height()) / 2);
                }
            },
            [&] { SprachBasis = startLanguage(); },
            [&] { WriteLanguageCopy(); },
            [&] { Sprache(); },
            [&] {
                Label[0]->setText(versionLine(versionMajor(), versionMinor(), versionRevision()));
            },
            [&] {
                if (Gestartet)
                    ok->setVisible(true);
            },
        });
}

void frmInfo::Sprache() {
    Procedure("frmInfo", "Sprache").run({[&] { Label[3]->setText(langText(102)); }});
}

void frmInfo::ok_Click() {
    Procedure("frmInfo", "OK_Click").run({[&] {
        if (auto* main = qobject_cast<QWidget*>(parent()); main && !main->isVisible())
            main->show();
        accept();
    }});
}

frmKalmix* frmInfo::startUp() {
    frmKalmix* main = nullptr;
    auto* splash = new frmInfo;
    Procedure("frmInfo", "Form_Load")
        .run(7, {
                    [&] {
                        splash->show();
                        QApplication::setOverrideCursor(Qt::WaitCursor);
                        QCoreApplication::processEvents();
                    },
                    [&] { main = new frmKalmix; },
                    [&] { Gestartet = true; },
                    [&] {
                        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                            const QRect area = screen->availableGeometry();
                            main->move(area.x() + (area.width() - main->width()) / 2,
                                       area.y() + (area.height() - main->height()) / 2);
                        }
                        if (!main->isVisible())
                            main->show();
                    },
                    [&] {
                        QApplication::restoreOverrideCursor();
                        splash->close();
                    },
                });
    delete splash;
    return main;
}

} // namespace kalmix
