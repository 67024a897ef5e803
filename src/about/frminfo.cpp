#include "about/frminfo.h"

#include "about/readme.h"
#include "profiles/languagechoice.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/twips.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace kalmix {

bool Gestartet = false;

namespace {
constexpr int kClientWidth = 5340;
constexpr int kClientHeight = 4935;
// The read-me line: from its design place on the left to just before the figure, and room
// for two lines, as longer languages need them.
constexpr int kReadmeLeft = 720;
constexpr int kReadmeTop = 2400;
constexpr int kReadmeWidth = 3960 - 60 - kReadmeLeft;
constexpr int kReadmeHeight = 2 * 252;
constexpr double kReadmePoints = 8.25;
constexpr double kSmallestPoints = 6.0;
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
    Label[3]->setGeometry(px(kReadmeLeft), px(kReadmeTop), px(kReadmeWidth), px(kReadmeHeight));
    Label[3]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label[3]->setWordWrap(true);
    Label[3]->installEventFilter(this);
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
    Procedure("frmInfo", "Sprache")
        .run({
            [&] { Label[3]->setText(langText(102)); },
            [&] { fitReadmeLine(); },
        });
}

void frmInfo::fitReadmeLine() {
    QFont f = font();
    f.setUnderline(true);
    const QRect room(0, 0, Label[3]->width(), Label[3]->height());
    for (double points = kReadmePoints; points >= kSmallestPoints; points -= 0.25) {
        f.setPointSizeF(points);
        const QRect need = QFontMetrics(f).boundingRect(
            room, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Label[3]->text());
        if (need.width() <= room.width() && need.height() <= room.height())
            break;
    }
    Label[3]->setFont(f);
    Label[3]->setCursor(Qt::PointingHandCursor);
}

bool frmInfo::eventFilter(QObject* watched, QEvent* event) {
    // Only the box opened from the menu opens the file; the splash has the start to finish.
    if (Gestartet && watched == Label[3] && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Label[3]->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        openReadme();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmInfo::openReadme() {
    QString name;
    QString file;
    Procedure("frmInfo", "Label_Click")
        .run({
            [&] { name = readmeName(SprachBasis); },
            [&] { file = findReadme(name); },
            [&] {
                if (file.isEmpty()) {
                    MsgBox(langText(215).arg(name), MsgButtons::Ok, MsgIcon::Exclamation, this);
                    exitProcedure();
                }
            },
            [&] {
                if (!ShellOpen(QUrl::fromLocalFile(file)))
                    MsgBox(langText(216).arg(QDir::toNativeSeparators(file)), MsgButtons::Ok,
                           MsgIcon::Exclamation, this);
            },
        });
}

void frmInfo::ok_Click() {
    Procedure("frmInfo", "OK_Click").run({[&] {
        if (auto* main = qobject_cast<QWidget*>(parent()); main && !main->isVisible())
            main->show();
        accept();
    }});
}

void frmInfo::startUp(const std::function<QWidget*()>& makeMain) {
    QWidget* main = nullptr;
    auto* splash = new frmInfo;
    Procedure("frmInfo", "Form_Load")
        .run(7, {
                    [&] {
                        splash->show();
                        QApplication::setOverrideCursor(Qt::WaitCursor);
                        QCoreApplication::processEvents();
                    },
                    [&] { main = makeMain(); },
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
}

} // namespace kalmix
