#include "main/frmkalmix.h"

#include "about/frminfo.h"
#include "engine/practicelog.h"
#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "main/helpwindow.h"
#include "main/layout.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/settings.h"
#include "services/sound.h"
#include "services/twips.h"
#include "settings/frmuebung.h"
#include "settings/record.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <cmath>

namespace kalmix {

namespace {

constexpr QSize kBoardSize(518, 371);
constexpr QSize kDesignClient(700, 540);
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

frmKalmix::frmKalmix(QWidget* parent) : QWidget(parent), m_game(*this) {
    setObjectName(QStringLiteral("frmKalmix"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowIcon(QIcon(picture(QStringLiteral(":/pictures/kalmix.svg"), QSize(64, 64))));
    loadFonts();
    createBoard();
    createPanelAndToolbar();
    resize(kDesignClient);
    setMinimumSize(320, 240);
    qApp->installEventFilter(this);
    m_game.showSettingsWizard = [this] { showSettingsWizard(); };
    m_game.ComboAktualisieren = [this] { ComboAktualisieren(); };
    Form_Load();
}

frmKalmix::~frmKalmix() {
    qApp->removeEventFilter(this);
    delete m_uebung;
}

void frmKalmix::Form_Load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Procedure("frmKalmix", "Form_Load")
        .run({
            [&] {
                if (twipsPerPixel() < 15)
                    positionieren();
            },
            [&] { ComboAktualisieren(); },
            [&] { uebung().txtName->setText(aktiv); },
            [&] { uebung().BenutzerLaden(); },
            [&] { Sprache(); },
            [&] { placeSymbolRows(); },
            [&] {
                // On a first start nothing is stored yet: the language the splash chose from
                // the locale stays, rather than falling back to German.
                SprachBasis =
                    GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), SprachBasis);
            },
            [&] {
                PlaySound = GetIniInt(QStringLiteral("Optionen"), QStringLiteral("PlaySound"), -1);
            },
        });
    QApplication::restoreOverrideCursor();
}

void frmKalmix::closeEvent(QCloseEvent* event) {
    // The program ends with its main window; every line of the log is already on disk.
    event->accept();
    LogNr().close();
    QCoreApplication::quit();
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

void frmKalmix::placeSymbolRows() {
    // Pictures 1 to 24 follow picture 0 of their row, a quarter of a picture apart.
    for (int i = 1; i < 25; ++i) {
        imgSymbolX[i]->move(imgSymbolX[i - 1]->x() +
                                static_cast<int>(1.25 * imgSymbolX[i]->width()),
                            imgSymbolX[0]->y());
        imgSymbolY[i]->move(imgSymbolX[i]->x(), imgSymbolY[0]->y());
    }
}

void frmKalmix::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Activate();
}

void frmKalmix::Form_Activate() {
    if (m_aktiviert)
        return;
    int sprachIndex = 0;
    Procedure("frmKalmix", "Form_Activate")
        .run({
            [&] { sprachIndex = QString::number(SprachBasis).left(1).toInt(); },
            [&] { PicBut_Click(sprachIndex + 10); },
            [&] {
                SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(SprachBasis));
            },
            [&] {
                if (!aktiv.isEmpty()) {
                    cmbName->setCurrentText(aktiv);
                    uebung().txtName->setText(aktiv);
                    cmbName->setEnabled(true);
                } else {
                    cmbName->setEnabled(false);
                }
            },
            [&] { m_aktiviert = true; },
        });
}

frmUebung& frmKalmix::uebung() {
    if (!m_uebung)
        m_uebung = new frmUebung(this);
    return *m_uebung;
}

void frmKalmix::showSettingsWizard() {
    uebung().showModal();
    if (m_uebung && m_uebung->unloaded()) {
        delete m_uebung;
        m_uebung = nullptr;
    }
}

void frmKalmix::ComboAktualisieren() {
    Procedure("frmKalmix", "ComboAktualisieren")
        .run({
            [&] {
                const QSignalBlocker quiet(cmbName);
                cmbName->clear();
            },
            [&] {
                const QSignalBlocker quiet(cmbName);
                cmbName->addItems(readPlayerNames());
            },
            [&] {
                aktiv = GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"),
                                     QString(255, u' '));
            },
            [&] {
                if (aktiv.isEmpty())
                    return;
                const QSignalBlocker quiet(cmbName);
                cmbName->setCurrentText(aktiv);
                cmbName->setEnabled(true);
            },
        });
}

void frmKalmix::cmbName_Click() {
    Procedure("frmKalmix", "cmbName_click")
        .run({
            [&] {
                if (!isVisible())
                    exitProcedure();
            },
            [&] { aktiv = cmbName->currentText(); },
            [&] { uebung().BenutzerLaden(); },
            [&] { m_game.stopTimer(); },
            [&] { SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), aktiv); },
            [&] {
                if (txtErgebnis->isVisible())
                    txtErgebnis->setFocus();
            },
            [&] {
                if (!aktiv.isEmpty())
                    m_game.Start_Click();
            },
        });
}

void frmKalmix::createBoard() {
    picTafel = new QLabel(this);
    picTafel->setObjectName(QStringLiteral("picTafel"));
    picTafel->setFixedSize(kBoardSize);
    picTafel->setPixmap(picture(QStringLiteral(":/pictures/board.svg"), kBoardSize));

    cmbName = new QComboBox(picTafel);
    cmbName->setObjectName(QStringLiteral("cmbName"));
    cmbName->setGeometry(px(2400), px(360), px(3255), px(570));
    cmbName->setFont(boardFont(14));
    cmbName->setEditable(false);
    cmbName->setEnabled(false);
    connect(cmbName, &QComboBox::activated, this, [this] { cmbName_Click(); });

    fraUebung = new QWidget(picTafel);
    fraUebung->setObjectName(QStringLiteral("fraUebung"));
    fraUebung->setGeometry(px(720), px(960), px(6015), px(4335));
    fraUebung->setVisible(false);

    lblFrage = new QLabel(fraUebung);
    lblFrage->setObjectName(QStringLiteral("lblFrage"));
    lblFrage->setGeometry(px(360), px(360), px(3255), px(1455));
    lblFrage->setTextFormat(Qt::PlainText);
    lblFrage->setWordWrap(true);
    lblFrage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFrage->setFont(boardFont(20));
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
    mnuUeber = mnuHilfe->addAction(QStringLiteral("&Über..."));
    connect(mnuOnlinehilfe, &QAction::triggered, this, [this] { mnuOnlinehilfe_Click(); });
    connect(mnuHomepage, &QAction::triggered, this, [this] { mnuHomepage_Click(); });
    connect(mnuEMail, &QAction::triggered, this, [this] { mnuEMail_Click(); });
    connect(mnuUeber, &QAction::triggered, this, [this] { mnuUeber_Click(); });
}

void frmKalmix::Sprache() {
    lblFrage->setText(langText(105));
    Label[0]->setText(langText(109));
    Label[1]->setText(langText(107));
    PicBut[0]->setToolTip(langText(110));
    PicBut[1]->setToolTip(langText(111));
    PicBut[2]->setToolTip(langText(112));
    PicBut[3]->setToolTip(langText(116));
    PicBut[4]->setToolTip(langText(120));
    mnuEMail->setText(langText(122));
    mnuOnlinehilfe->setText(langText(121));
    mnuUeber->setText(langText(123));
}

void frmKalmix::PicBut_Click(int index) {
    switch (index) {
    case 0:
        m_game.Start_Click();
        break;
    case 1:
        if (MsgBox(langText(124), MsgButtons::YesNo, MsgIcon::Question, this) != MsgResult::Yes)
            break;
        if (LogFile) {
            try {
                LogNr().writeLine(QString());
            } catch (const RuntimeError&) {
                // the closing line is not worth an error at the very end
            }
            LogNr().close();
        }
        close();
        return;
    case 2:
        m_game.Loesung_Click();
        break;
    case 3:
        m_game.Unsichtbar();
        m_game.stopTimer();
        showSettingsWizard();
        ComboAktualisieren();
        break;
    case 4:
        mnuHilfe->popup(QCursor::pos());
        break;
    default:
        if (index >= 10 && index <= 16) {
            SprachBasis = static_cast<std::int16_t>((index - 10) * 1000);
            Sprache();
            SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(SprachBasis));
        }
        break;
    }
    if (txtErgebnis->isVisible())
        txtErgebnis->setFocus();
}

// ---------------------------------------------------------------- help menu

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

// ---------------------------------------------------------------- layout

void frmKalmix::Form_Resize() {
    if (isMinimized())
        return;
    LayoutInput in;
    in.W = width();
    in.H = height();
    in.twipsPerPixel = twipsPerPixel();
    in.board = picTafel->size();
    in.panel = lblButBack->size();
    in.stripWidth = m_stripWidth;
    in.button = PicBut[0]->size();
    in.languageButton = PicBut[10]->size();
    in.figureHeight = imgMeter->height();
    in.label0Width = Label[0]->width();
    in.numberHeight = lblNumber->height();
    in.timeHeight = lblTime->height();
    in.geloest = m_game.Geloest;
    in.aufgZahl = AufgZahl;
    if (m_game.StartTimer)
        in.elapsed = m_game.elapsedSeconds();
    in.zeit = Zeit;
    const Layout l = formLayout(in);

    picTafel->move(l.board);
    imgStift->setGeometry(l.barLeft, l.barTop, l.barWidth, imgStift->height());
    imgMeter->move(static_cast<int>(std::lround(l.meterLeft)),
                   static_cast<int>(std::lround(l.meterTop)));
    m_meterLeft = l.meterLeft;
    lblButBack->move(l.panel);
    lblNumber->move(l.number);
    Label[0]->move(l.label0);
    lblTime->move(l.time);
    Label[1]->move(l.label1);
    lblToolbar->setGeometry(static_cast<int>(std::lround(l.stripLeft)), 0,
                            static_cast<int>(std::lround(l.stripWidth)),
                            static_cast<int>(std::lround(l.stripHeight)));
    m_stripWidth = lblToolbar->width();
    lblToolbar->setVisible(true);
    for (int i = 0; i <= 16; ++i) {
        if (!PicBut[i])
            continue;
        PicBut[i]->move(l.buttons[i].toPoint());
    }
    lblToolbar->lower();
}

void frmKalmix::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmKalmix::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(0xd8, 0xee, 0xff));
    sky.setColorAt(1, QColor(0xb8, 0xdc, 0xf5));
    p.fillRect(rect(), sky);
}

// ---------------------------------------------------------------- keys

bool frmKalmix::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !m_keyPreview)
        return QWidget::eventFilter(watched, event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    int code = 0;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        code = 13;
    else if (key->key() == Qt::Key_Backspace)
        code = 8;
    else if (key->text().size() == 1 && key->key() != Qt::Key_Delete)
        code = key->text().at(0).unicode();
    else
        return QWidget::eventFilter(watched, event); // arrows, Delete, Home...: not filtered
    m_game.Form_KeyPress(code);
    if (code == 0)
        return true; // discarded
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- the board

void frmKalmix::showTaskFrame(bool visible) {
    fraUebung->setVisible(visible);
}

void frmKalmix::setTaskText(const QString& text) {
    lblAufgabe->setText(text);
    lblAufgabe->adjustSize();
}

QString frmKalmix::taskText() const {
    return lblAufgabe->text();
}
void frmKalmix::showTaskText(bool visible) {
    lblAufgabe->setVisible(visible);
}
void frmKalmix::showQuestion(bool visible) {
    lblFrage->setVisible(visible);
}

void frmKalmix::openAnswerBox(bool pictureKind) {
    if (pictureKind)
        txtErgebnis->move(lblFrage->x() + lblFrage->width(), lblFrage->y() + px(700));
    else
        txtErgebnis->move(lblAufgabe->x() + lblAufgabe->width(),
                          lblAufgabe->y() + (lblAufgabe->height() - txtErgebnis->height()) / 2);
    // The right and wrong pictures appear just behind the answer.
    for (QLabel* img : imgJaNein)
        img->move(txtErgebnis->x() + txtErgebnis->width() + 12,
                  txtErgebnis->y() + (txtErgebnis->height() - img->height()) / 2);
    txtErgebnis->clear();
    txtErgebnis->setVisible(true);
    txtErgebnis->setReadOnly(false);
    txtErgebnis->setFocus();
}

void frmKalmix::hideAnswerBox() {
    txtErgebnis->setVisible(false);
}
QString frmKalmix::answerText() const {
    return txtErgebnis->text();
}

void frmKalmix::setAnswerText(const QString& text) {
    txtErgebnis->setText(text);
    txtErgebnis->setCursorPosition(text.size());
}

void frmKalmix::showSymbol(int row, int slot, int symbol) {
    if (row < 0 || row > 1 || slot < 0 || slot > 24 || symbol < 0 || symbol > 24)
        raiseError(ErrNr::SubscriptOutOfRange);
    QLabel* img = (row == 0 ? imgSymbolX : imgSymbolY)[slot];
    img->setPixmap(picture(symbolPicture(symbol, row), QSize(32, 32)));
    img->setVisible(true);
}

void frmKalmix::hideSymbol(int row, int slot) {
    if (row < 0 || row > 1 || slot < 0 || slot > 24)
        raiseError(ErrNr::SubscriptOutOfRange);
    (row == 0 ? imgSymbolX : imgSymbolY)[slot]->setVisible(false);
}

void frmKalmix::showJaNein(int index, bool visible) {
    if (index < 0 || index > 1)
        raiseError(ErrNr::SubscriptOutOfRange);
    imgJaNein[index]->setVisible(visible);
}

void frmKalmix::setButtonEnabled(int button, bool enabled) {
    if (button < 0 || button > 16 || !PicBut[button])
        raiseError(ErrNr::SubscriptOutOfRange);
    PicBut[button]->setEnabled(enabled);
}

void frmKalmix::focusButton(int button) {
    if (button >= 0 && button <= 16 && PicBut[button])
        PicBut[button]->setFocus();
}

void frmKalmix::setNumber(const QString& text) {
    lblNumber->setText(text);
}
void frmKalmix::setTime(const QString& text) {
    lblTime->setText(text);
}

void frmKalmix::setKeyPreview(bool on) {
    m_keyPreview = on;
    // While an answer is judged the box keeps what was typed.
    txtErgebnis->setReadOnly(!on);
}

int frmKalmix::barLeft() const {
    return imgStift->x();
}
int frmKalmix::barWidth() const {
    return imgStift->width();
}

void frmKalmix::setMeterLeft(double left) {
    m_meterLeft = left;
    imgMeter->move(static_cast<int>(std::lround(left)), imgMeter->y());
}

void frmKalmix::setMeterPicture(int icon) {
    imgMeter->setPixmap(picture(QStringLiteral(":/ICON/%1").arg(icon), QSize(32, 32)));
}

} // namespace kalmix
