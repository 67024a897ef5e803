#include "main/frmkalmix.h"
#include "profiles/languagechoice.h"

#include "about/frminfo.h"
#include "engine/practicelog.h"
#include "main/helpwindow.h"
#include "main/layout.h"
#include "main/qttexts.h"
#include "main/roundsummary.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"
#include "services/speech.h"
#include "services/twips.h"
#include "settings/frmuebung.h"
#include "settings/passwordlock.h"

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

constexpr QSize kDesignClient(700, 540);

} // namespace

frmKalmix::frmKalmix(QWidget* parent) : QWidget(parent), m_game(*this) {
    setObjectName(QStringLiteral("frmKalmix"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setWindowIcon(QIcon(picture(QStringLiteral(":/pictures/kalmix.svg"), QSize(64, 64))));
    loadFonts();
    createBoard();
    createPanelAndToolbar();
    createBoardAids();
    resize(kDesignClient);
    setMinimumSize(320, 240);
    qApp->installEventFilter(this);
    // Start without a player opens the settings window for a first one; while a password is
    // set, only for the one who knows it (Cancel or a wrong password: no window, no game).
    m_game.showSettingsWizard = [this] {
        if (unlockOptions(this))
            showSettingsWizard(true);
    };
    m_game.ComboAktualisieren = [this] { ComboAktualisieren(); };
    m_summary = new RoundSummaryPanel(picTafel);
    m_summary->playAgainClicked = [this] { PicBut_Click(0); };
    m_game.roundEnded = [this](const RoundSummary& s) { m_summary->showSummary(s); };
    m_game.events.add(&m_readAloud);
    m_game.events.add(&m_history);
    m_game.events.add(&m_classUpload);
    m_classUpload.applySettings();
    setReportSource(&m_history);
    m_game.trickySource = &m_history;
    useClassServer();
    Form_Load();
}

frmKalmix::~frmKalmix() {
    qApp->removeEventFilter(this);
    m_game.events.remove(&m_readAloud);
    delete m_uebung;
    m_game.events.remove(&m_history);
    m_game.events.remove(&m_classUpload);
    if (reportSource() == &m_history || (m_classSource && reportSource() == m_classSource.get()))
        setReportSource(nullptr);
}

void frmKalmix::Form_Load() {
    bool waiting = false;
    Procedure("frmKalmix", "Form_Load")
        .run({
            [&] {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                waiting = true;
            },
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
                SprachBasis = validLanguage(
                    GetIniInt(QStringLiteral("Optionen"), QStringLiteral("Sprache"), SprachBasis));
            },
            [&] {
                PlaySound = GetIniInt(QStringLiteral("Optionen"), QStringLiteral("PlaySound"), -1);
            },
            [&] {
                QApplication::restoreOverrideCursor();
                waiting = false;
            },
        });
    // A load left after an error does not leave the hourglass behind.
    if (waiting)
        QApplication::restoreOverrideCursor();
}

void frmKalmix::closeEvent(QCloseEvent* event) {
    // The program ends with its main window; every line of the log is already on disk, and
    // the practice history writes what it still owes.
    event->accept();
    m_readAloud.silence();
    m_game.endOfProgram();
    m_classUpload.stop(); // what it has not sent yet goes up at the next start
    m_history.finish();
    LogNr().close();
    QCoreApplication::quit();
}

void frmKalmix::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    fitToScreen();
    watchFrame();
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
            [&] { SaveLanguage(); },
            [&] {
                if (!aktiv.isEmpty()) {
                    cmbName->showPlayer(aktiv);
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

void frmKalmix::showSettingsWizard(bool unlocked) {
    const QString before = aktiv;
    uebung().showModal(unlocked);
    const bool applied = m_uebung->closedWithOk();
    if (m_uebung && m_uebung->unloaded()) {
        delete m_uebung;
        m_uebung = nullptr;
    }
    if (!applied)
        settleActivePlayer(before);
    else
        m_classUpload.applySettings(); // the class server or the class may have changed
    useClassServer();
    updateNumberPad(); // the player may have switched the pad or read-aloud on or off
}

void frmKalmix::useClassServer() {
    const std::optional<ClassServerConfig> config = classServerConfig();
    if (config && m_classSource && m_classSource->config() == *config)
        return;
    ReportSource* report = &m_history;
    TrickySource* tricky = &m_history;
    std::unique_ptr<ClassServerSource> source;
    if (config) {
        source = std::make_unique<ClassServerSource>(*config, m_history);
        report = source.get();
        tricky = source.get();
    }
    if (reportSource() == &m_history || (m_classSource && reportSource() == m_classSource.get()))
        setReportSource(report);
    m_game.trickySource = tricky;
    m_classSource = std::move(source);
}

void frmKalmix::Sprache() {
    Procedure("frmKalmix", "Sprache")
        .run({
            [&] {
                lblFrage->setText(langText(105));
                sizeQuestion();
            },
            [&] { Label[0]->setText(langText(109)); },
            [&] { Label[1]->setText(langText(m_clockCountsDown ? 262 : 107)); },
            [&] { mnuEMail->setText(langText(122)); },
            [&] { mnuOnlinehilfe->setText(langText(121)); },
            [&] { mnuUeber->setText(langText(123)); },
            [&] { PicBut[0]->setToolTip(langText(110)); },
            [&] { PicBut[1]->setToolTip(langText(111)); },
            [&] { PicBut[2]->setToolTip(langText(112)); },
            [&] { PicBut[3]->setToolTip(langText(116)); },
            [&] { PicBut[4]->setToolTip(langText(120)); },
            [&] { useQtTranslations(SprachBasis); },
            [&] { mnuBericht->setText(langText(302)); },
        });
    updateFirstStartHint();
    if (m_speak)
        m_speak->setToolTip(langText(292));
    if (m_summary)
        m_summary->retranslate();
}

void frmKalmix::PicBut_Click(int index) {
    if (index == 0 || index == 3)
        m_summary->dismiss(); // a new round or the settings window: the last round's summary goes
    if (index == 0 || index == 1 || index == 3)
        speaker().stop(); // a new game, the end and the settings window cut off the voice
    switch (index) {
    case 0:
        m_game.Start_Click();
        break;
    case 1:
        // No is the default: Enter after a stray press on the door keeps the game.
        if (MsgBox(langText(124), MsgButtons::YesNo, MsgIcon::Question, this, {}, MsgResult::No) !=
            MsgResult::Yes)
            break;
        // The closing blank line belongs to a log that this run opened and has not closed;
        // a log that is off, not begun or deleted meanwhile gets no lone line.
        if (LogFile && LogNr().isOpen()) {
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
        // The game is held while the window is open (task items hidden, clock stopped) and
        // goes on afterwards, or is over when the window changed its player or kind.
        // While a grown-up's password is set, the window opens only for the one who knows it;
        // the game stands still while it is asked for.
        m_game.pauseForSettings();
        if (unlockOptions(this)) {
            showSettingsWizard(true);
            ComboAktualisieren();
        }
        m_game.resumeAfterSettings();
        break;
    case 4:
        mnuHilfe->popup(QCursor::pos());
        break;
    default:
        if (index >= 10 && index <= 16) {
            SprachBasis = static_cast<std::int16_t>((index - 10) * 1000);
            Sprache();
            SaveLanguage();
        }
        break;
    }
    if (txtErgebnis->isVisible())
        txtErgebnis->setFocus();
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
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return QWidget::eventFilter(watched, event); // moves the focus, as it always does
    if (key->key() == Qt::Key_Space) {
        repeatTask(); // never an answer's character: it says the task again
        return true;
    }
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
    if (visible)
        m_summary->dismiss(); // a round has begun
    fraUebung->setVisible(visible);
    updateNumberPad();
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
        txtErgebnis->move(lblAufgabe->x() + lblAufgabe->width(), lblAufgabe->y());
    // The right and wrong pictures appear just behind the answer.
    for (QLabel* img : imgJaNein)
        img->move(txtErgebnis->x() + txtErgebnis->width() + 12,
                  txtErgebnis->y() + (txtErgebnis->height() - img->height()) / 2);
    txtErgebnis->clear();
    txtErgebnis->setVisible(true);
    txtErgebnis->setReadOnly(false);
    txtErgebnis->setFocus();
    updateNumberPad();
}

void frmKalmix::hideAnswerBox() {
    txtErgebnis->setVisible(false);
    updateNumberPad();
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
    setClockCountsDown(false);
}
void frmKalmix::setTimeLeft(const QString& text) {
    lblTime->setText(text);
    setClockCountsDown(true);
}

// The clock's caption tells what it shows: the time taken, or the time left of a
// time-limited round (which stays after the round until the next start resets the clock).
void frmKalmix::setClockCountsDown(bool on) {
    if (on == m_clockCountsDown)
        return;
    m_clockCountsDown = on;
    Label[1]->setText(langText(on ? 262 : 107));
}

void frmKalmix::setKeyPreview(bool on) {
    m_keyPreview = on;
    // While an answer is judged the box keeps what was typed.
    txtErgebnis->setReadOnly(!on);
    updateNumberPad();
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
