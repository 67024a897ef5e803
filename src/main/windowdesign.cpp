#include "main/frmkalmix.h"

#include "main/layout.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <algorithm>

// The window design: the board with the task frame, the panel, the bar with its figure, the
// toolbar and the help menu, and the board's layout for large fonts.
namespace kalmix {

namespace {

constexpr QSize kBoardSize(518, 371);
const QColor kChalk(0xF6, 0xF4, 0xE8);
const QColor kChalkYellow(0xFF, 0xE8, 0x7A);

QFont boardFont(int points, bool bold = true) {
    QFont f(boardFontFamily());
    f.setPointSize(points);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QString toolbarPicture(int index) {
    static const char* const names[17] = {"start", "end",   "solution", "options", "help", nullptr,
                                          nullptr, nullptr, nullptr,    nullptr,   "de",   "en",
                                          "sv",    "it",    "es",       "nb",      "fr"};
    const QString name = QString::fromLatin1(names[index]);
    return index < 10 ? QStringLiteral(":/pictures/buttons/%1.svg").arg(name)
                      : QStringLiteral(":/pictures/flags/%1.svg").arg(name);
}

} // namespace

QString frmKalmix::symbolPicture(int symbol, int row) {
    return QStringLiteral(":/pictures/symbols/sym%1%2.svg")
        .arg(symbol, 2, 10, QLatin1Char('0'))
        .arg(QLatin1Char(row == 0 ? 'a' : 'b'));
}

void frmKalmix::createBoard() {
    picTafel = new QLabel(this);
    picTafel->setObjectName(QStringLiteral("picTafel"));
    picTafel->setFixedSize(kBoardSize);
    picTafel->setPixmap(picture(QStringLiteral(":/pictures/board.svg"), kBoardSize));

    cmbName = new PlayerBox(picTafel);
    cmbName->setObjectName(QStringLiteral("cmbName"));
    cmbName->setGeometry(px(2400), px(360), px(3255), px(570));
    cmbName->setFont(boardFont(14));
    cmbName->setEditable(false);
    cmbName->setEnabled(false);
    connect(cmbName, &PlayerBox::picked, this, [this] { cmbName_Click(); });

    fraUebung = new QWidget(picTafel);
    fraUebung->setObjectName(QStringLiteral("fraUebung"));
    fraUebung->setGeometry(px(720), px(960), px(6015), px(4335));
    fraUebung->setVisible(false);

    lblFrage = new QLabel(fraUebung);
    lblFrage->setObjectName(QStringLiteral("lblFrage"));
    lblFrage->setTextFormat(Qt::PlainText);
    lblFrage->setGeometry(px(360), px(360), px(3255), px(1455));
    lblFrage->setWordWrap(true);
    lblFrage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFrage->setFont(boardFont(m_questionPoints));
    lblFrage->setStyleSheet(QStringLiteral("color: %1;").arg(kChalk.name()));
    lblFrage->setVisible(false);

    lblAufgabe = new QLabel(fraUebung);
    lblAufgabe->setObjectName(QStringLiteral("lblAufgabe"));
    lblAufgabe->setFont(boardFont(26));
    lblAufgabe->setStyleSheet(QStringLiteral("color: %1;").arg(kChalk.name()));
    lblAufgabe->setTextFormat(Qt::PlainText);
    lblAufgabe->move(px(200), 0);
    lblAufgabe->setText(QStringLiteral(" 0 + 0 = "));
    lblAufgabe->adjustSize();
    lblAufgabe->move(px(200), static_cast<int>(1.5 * lblAufgabe->height()));
    lblAufgabe->clear();
    lblAufgabe->setVisible(false);

    txtErgebnis = new QLineEdit(fraUebung);
    txtErgebnis->setObjectName(QStringLiteral("txtErgebnis"));
    txtErgebnis->setGeometry(px(4080), px(1440), px(1335), px(765));
    txtErgebnis->setFont(boardFont(26));
    txtErgebnis->setAlignment(Qt::AlignCenter);
    txtErgebnis->setMaxLength(6);
    txtErgebnis->setStyleSheet(
        QStringLiteral("QLineEdit { color: %1; background: rgba(0, 0, 0, 60);"
                       " border: 2px solid %2; border-radius: 8px; }")
            .arg(kChalkYellow.name(), kChalk.name()));
    txtErgebnis->setVisible(false);

    // Two rows of picture slots below the question.
    const int rowTop = lblFrage->y() + static_cast<int>(1.1 * lblFrage->height());
    for (int i = 0; i < 25; ++i) {
        for (int row = 0; row < 2; ++row) {
            auto* img = new QLabel(fraUebung);
            img->setObjectName(
                QStringLiteral("imgSymbol%1_%2").arg(QLatin1Char(row == 0 ? 'X' : 'Y')).arg(i));
            img->setFixedSize(32, 32);
            img->move(px(200), rowTop + row * 48);
            img->setVisible(false);
            (row == 0 ? imgSymbolX : imgSymbolY)[i] = img;
        }
    }

    for (int i = 0; i < 2; ++i) {
        imgJaNein[i] = new QLabel(fraUebung);
        imgJaNein[i]->setObjectName(QStringLiteral("imgJaNein_%1").arg(i));
        imgJaNein[i]->setFixedSize(40, 40);
        imgJaNein[i]->setPixmap(picture(i == 0 ? QStringLiteral(":/pictures/right.svg")
                                               : QStringLiteral(":/pictures/wrong.svg"),
                                        QSize(40, 40)));
        imgJaNein[i]->move(fraUebung->width() - 52, px(1440) + 6);
        imgJaNein[i]->setVisible(false);
    }
}

void frmKalmix::createPanelAndToolbar() {
    imgStift = new QLabel(this);
    imgStift->setObjectName(QStringLiteral("imgStift"));
    imgStift->setScaledContents(true);
    imgStift->setPixmap(picture(QStringLiteral(":/pictures/pencil.svg"), QSize(570, 32)));
    imgStift->setGeometry(0, 0, 570, 32);

    imgMeter = new QLabel(this);
    imgMeter->setObjectName(QStringLiteral("imgMeter"));
    imgMeter->setFixedSize(32, 32);
    setMeterPicture(101);

    lblButBack = new QLabel(this);
    lblButBack->setObjectName(QStringLiteral("lblButBack"));
    lblButBack->setGeometry(px(8160), px(1080), px(1455), px(4095));
    lblButBack->setStyleSheet(
        QStringLiteral("background: #fff6d5; border: 2px solid #e0b84a; border-radius: 10px;"));

    for (int i = 0; i < 2; ++i) {
        Label[i] = new QLabel(this);
        Label[i]->setObjectName(QStringLiteral("Label_%1").arg(i));
        Label[i]->setTextFormat(Qt::PlainText);
        Label[i]->setWordWrap(true);
        Label[i]->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        Label[i]->setFont(boardFont(11));
        Label[i]->setStyleSheet(QStringLiteral("color: #6b4a12;"));
    }
    Label[0]->setGeometry(px(8280), px(1200), px(1185), px(975));
    Label[1]->setGeometry(px(8280), px(2760), px(1185), px(375));

    lblNumber = new QLabel(QStringLiteral("0"), this);
    lblNumber->setObjectName(QStringLiteral("lblNumber"));
    lblNumber->setGeometry(px(8280), px(2280), px(1245), px(420));
    lblTime = new QLabel(QStringLiteral("00:00"), this);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    lblTime->setGeometry(px(8280), px(3240), px(1245), px(420));
    for (QLabel* l : {lblNumber, lblTime}) {
        QFont f = l->font();
        f.setPointSize(15);
        f.setBold(true);
        l->setFont(f);
        l->setAlignment(Qt::AlignCenter);
        l->setStyleSheet(QStringLiteral(
            "color: #1d4f91; background: white; border: 1px solid #e0b84a; border-radius: 5px;"));
    }

    lblToolbar = new QLabel(this);
    lblToolbar->setObjectName(QStringLiteral("lblToolbar"));
    lblToolbar->setGeometry(px(9840), px(120), px(540), px(6000));
    lblToolbar->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #3b7dd8, stop:1 #2a5fae);"));

    static const char* const languageNames[7] = {"Deutsch", "English", "Svenska", "Italiano",
                                                 "Español", "Norsk",   "Français"};
    for (int i = 0; i <= 16; ++i) {
        if (i > 4 && i < 10)
            continue;
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("PicBut_%1").arg(i));
        const QSize size = i < 10 ? QSize(px(550), px(550)) : QSize(px(570), px(550));
        b->setFixedSize(size);
        const QSize iconSize = i < 10 ? QSize(28, 28) : QSize(30, 20);
        b->setIcon(QIcon(picture(toolbarPicture(i), iconSize)));
        b->setIconSize(iconSize);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::TabFocus);
        b->setStyleSheet(
            QStringLiteral("QToolButton { border-radius: 6px; }"
                           "QToolButton:hover { background: rgba(255, 255, 255, 70); }"
                           "QToolButton:pressed { background: rgba(255, 255, 255, 120); }"
                           "QToolButton:focus { border: 2px solid #ffe87a; }"));
        if (i >= 10)
            b->setToolTip(QString::fromUtf8(languageNames[i - 10]));
        connect(b, &QToolButton::clicked, this, [this, i] { PicBut_Click(i); });
        PicBut[i] = b;
    }
    // The solution button is usable only during a game; options and help come with the
    // settings wizard and the help window.
    PicBut[2]->setEnabled(false);

    mnuHilfe = new QMenu(QStringLiteral("&Hilfe"), this);
    mnuHilfe->setObjectName(QStringLiteral("mnuHilfe"));
    mnuOnlinehilfe = mnuHilfe->addAction(QStringLiteral("Online&hilfe"));
    mnuHilfe->addSeparator();
    mnuHomepage = mnuHilfe->addAction(QStringLiteral("&Orbelt's Homepage..."));
    mnuEMail = mnuHilfe->addAction(QStringLiteral("&E-Mail an Orbelt..."));
    mnuHilfe->addSeparator();
    mnuBericht = mnuHilfe->addAction(QStringLiteral("&Bericht..."));
    mnuBericht->setObjectName(QStringLiteral("mnuBericht"));
    connect(mnuBericht, &QAction::triggered, this, [this] { mnuBericht_Click(); });
    mnuUeber = mnuHilfe->addAction(QStringLiteral("&Über..."));
    connect(mnuOnlinehilfe, &QAction::triggered, this, [this] { mnuOnlinehilfe_Click(); });
    connect(mnuHomepage, &QAction::triggered, this, [this] { mnuHomepage_Click(); });
    connect(mnuEMail, &QAction::triggered, this, [this] { mnuEMail_Click(); });
    connect(mnuUeber, &QAction::triggered, this, [this] { mnuUeber_Click(); });
}

void frmKalmix::positionieren() {
    Procedure("frmKalmix", "positionieren")
        .run({
            [&] {
                const int w = fraUebung->width(), h = fraUebung->height();
                fraUebung->setGeometry(half(picTafel->width() - 0.8 * w),
                                       half(picTafel->height() - 0.6 * h),
                                       static_cast<int>(0.8 * w), static_cast<int>(0.75 * h));
            },
            [&] { cmbName->move(half(picTafel->width() - cmbName->width()), cmbName->y()); },
            [&] { lblFrage->move(px(300), px(220)); },
            [&] {
                m_questionPoints = 24;
                cmbName->setFont(boardFont(14));
                for (QWidget* w :
                     {static_cast<QWidget*>(lblFrage), static_cast<QWidget*>(lblAufgabe),
                      static_cast<QWidget*>(txtErgebnis)})
                    w->setFont(boardFont(24));
            },
            [&] { lblAufgabe->move(px(200), static_cast<int>(1.5 * lblAufgabe->height())); },
            [&] {
                imgSymbolX[0]->move(px(200),
                                    lblFrage->y() + static_cast<int>(1.1 * lblFrage->height()));
            },
            [&] {
                imgSymbolY[0]->move(px(200), imgSymbolX[0]->y() +
                                                 static_cast<int>(1.5 * imgSymbolX[0]->height()));
            },
            [&] {
                imgJaNein[0]->move(static_cast<int>(0.8 * imgJaNein[0]->x()),
                                   static_cast<int>(0.8 * imgJaNein[0]->y()));
            },
            [&] { imgJaNein[1]->move(imgJaNein[0]->pos()); },
        });
}

void frmKalmix::sizeQuestion() {
    // The answer box of a picture task and the right or wrong picture behind it follow the
    // question on its right: the question takes the rest of the task frame's width and stays
    // on one line, in a smaller font where a language's text would not fit.
    const int room =
        fraUebung->width() - lblFrage->x() - txtErgebnis->width() - 12 - imgJaNein[0]->width();
    QFont font = boardFont(m_questionPoints);
    while (font.pointSize() > m_questionPoints * 3 / 4 &&
           QFontMetrics(font).horizontalAdvance(lblFrage->text()) > room)
        font.setPointSize(font.pointSize() - 1);
    lblFrage->setFont(font);
    lblFrage->resize(room, lblFrage->height());
}

void frmKalmix::placeSymbolRows() {
    // Pictures 1 to 24 follow picture 0 of their row, a quarter of a picture apart.
    for (int i = 1; i < 25; ++i) {
        imgSymbolX[i]->move(imgSymbolX[i - 1]->x() +
                                static_cast<int>(1.25 * imgSymbolX[i]->width()),
                            imgSymbolX[0]->y());
        imgSymbolY[i]->move(imgSymbolX[i]->x(), imgSymbolY[0]->y());
    }
}

} // namespace kalmix
