#include "settings/frmuebung.h"

#include "engine/practicelog.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"
#include "settings/classservergroup.h"
#include "settings/logviewer.h"
#include "settings/passwordlock.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

namespace kalmix {

namespace {

const QString kOptionen = QStringLiteral("Optionen");

} // namespace

QList<int> frmUebung::route(int uebung) {
    switch (uebung) {
    case 0:
    case 1:
        return {0, 1, 2, 5, 6};
    case 2:
    case 3:
    case 6:
        return {0, 1, 3, 5, 6};
    case 4:
    case 5:
    case 7:
        return {0, 1, 4, 5, 6};
    default:
        return {0, 1, 3, 4, 5, 6};
    }
}

frmUebung::frmUebung(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmUebung"));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    createPages();
    connectHandlers();
    Form_Load();
}

frmUebung::~frmUebung() = default;

void frmUebung::connectHandlers() {
    for (int i = 0; i < 9; ++i) {
        connect(optUebung[i], &QRadioButton::toggled, this, [i](bool on) {
            if (!on)
                return;
            Procedure("frmUebung", "optUebung_Click").run({[i] {
                Uebung = static_cast<std::int16_t>(i);
                if (i <= 1)
                    MaxSum = 9;
            }});
        });
        connect(optAddition[i], &QRadioButton::toggled, this, [i](bool on) {
            if (!on)
                return;
            Procedure("frmUebung", "optAddition_Click").run({[i] { MaxSum = rangeBound(i); }});
        });
    }
    connect(chkNull, &QCheckBox::toggled, this, [](bool on) {
        Procedure("frmUebung", "chkNull_Click").run({[on] { Null = truth(on); }});
    });
    connect(chkFaktor[19], &QCheckBox::toggled, this, [](bool on) {
        Procedure("frmUebung", "chkFaktor_Click").run({[on] { NullFaktor = truth(on); }});
    });
    connect(chkSound, &QCheckBox::toggled, this, [](bool on) {
        Procedure("frmUebung", "chkSound_Click").run({[on] {
            PlaySound = truth(on);
            SaveIni(kOptionen, QStringLiteral("PlaySound"), Str(PlaySound));
        }});
    });
    connect(vscAufgaben, &QScrollBar::valueChanged, this, [this](int pos) {
        Procedure("frmUebung", "vscAufgaben_Change").run({[&] {
            txtAufgaben->setText(QString::number(110 - pos));
        }});
    });
    connect(vscZeit, &QScrollBar::valueChanged, this, [this](int pos) {
        Procedure("frmUebung", "vscZeit_Change").run({[&] {
            txtZeit->setText(QString::number(660 - pos));
        }});
    });
    connect(txtName, &QLineEdit::textChanged, this, [this] { txtName_Change(); });
    txtName->installEventFilter(this);
    connect(lstName, &QListWidget::itemSelectionChanged, this,
            [this] { lstName_SelectionChanged(); });
    // A typed number is taken, or answered with a message, when the box is left.
    for (QLineEdit* box : {txtAufgaben, txtZeit}) {
        connect(box, &QLineEdit::editingFinished, this, [this, box] { checkNumberBox(box); });
    }
    connect(cmdDelEntry, &QPushButton::clicked, this, [this] { cmdDelEntry_Click(); });
    connect(cmdWeiter, &QPushButton::clicked, this, [this] { cmdWeiter_Click(); });
    connect(cmdZurueck, &QPushButton::clicked, this, [this] { cmdZurueck_Click(); });
    connect(cmdOptOK, &QPushButton::clicked, this, [this] { cmdOptOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdViewLog, &QPushButton::clicked, this, [this] { cmdViewLog_Click(); });
    connect(cmdDelLogfile, &QPushButton::clicked, this, [this] { cmdDelLogfile_Click(); });
    connect(cmdPasswort, &QPushButton::clicked, this, [this] { cmdPasswort_Click(); });
}

bool frmUebung::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtName && event->type() == QEvent::FocusOut) {
        // Only a move to another control of this window counts, not a message box or
        // another program taking the focus for a while.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            !m_holdLostFocus)
            txtName_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

bool frmUebung::shown() const {
    return isVisible();
}

int frmUebung::selectedKind() const {
    for (int i = 0; i < 9; ++i) {
        if (optUebung[i]->isChecked())
            return i;
    }
    return 0;
}

// ---------------------------------------------------------------- life cycle

void frmUebung::Form_Load() {
    Procedure("frmUebung", "Form_Load")
        .run({
            [&] {
                lstName->clear();
                lstName->addItems(readPlayerNames());
            },
            [&] { BenutzerLaden(); },
            [&] { Sprache(); },
        });
}

void frmUebung::showModal(bool unlocked) {
    m_unlocked = unlocked;
    m_closedWithOk = false;
    exec();
    m_unlocked = false;
}

bool frmUebung::optionsFree() {
    // Opened while no password was set (one may be chosen inside), the window has not asked;
    // a password given once holds until the window closes.
    if (!m_unlocked)
        m_unlocked = unlockOptions(this);
    return m_unlocked;
}

void frmUebung::showLockState() {
    lblPasswort->setVisible(passwordLockOn());
}

void frmUebung::showEvent(QShowEvent* event) {
    // Saves that fail while the window is open (a player added, OK, the player list) are said
    // once, when it closes; OK still closes it, as a window kept open could only offer an OK
    // that cannot work while the settings file cannot be written.
    if (!m_writeReport)
        m_writeReport.emplace(true);
    loadSymbolPictures();
    fitPages();
    QDialog::showEvent(event);
    Form_Activate();
    showLockState();
}

void frmUebung::Form_Activate() {
    Procedure("frmUebung", "Form_Activate")
        .run({
            [&] { Sprache(); },
            [&] { LogNr().close(); },
            [&] {
                const bool exists = QFile::exists(PracticeLog::path());
                cmdViewLog->setEnabled(exists);
                cmdDelLogfile->setEnabled(exists);
            },
            [&] {
                txtName->setFocus();
                txtName->selectAll();
            },
            [&] { cmdZurueck->setEnabled(false); },
        });
}

void frmUebung::Form_Unload() {
    Procedure("frmUebung", "Form_Unload").run({[&] { savePlayerList(); }});
}

void frmUebung::unload() {
    Form_Unload();
    m_unloaded = true;
    hide();
    m_writeReport.reset();
}

void frmUebung::closeEvent(QCloseEvent* event) {
    // The close box is Cancel: it leaves without saving the window's changes.
    if (isVisible() && !m_unloaded)
        cmdCancel_Click();
    if (isVisible()) {
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        Form_Unload();
        m_unloaded = true;
    }
    event->accept();
}

void frmUebung::reject() {
    cmdCancel_Click();
}

// ---------------------------------------------------------------- pages

void frmUebung::showPage(int page) {
    fraDialog[page]->setVisible(true);
    if (page == 6)
        checkVoice();
}
// The focus goes to the page shown, to its chosen option or its first control, so that it
// never stays behind on a button that Enter would then press.
void frmUebung::focusPage(int page) {
    QWidget* first = nullptr;
    for (QWidget* w : fraDialog[page]->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || w->isHidden())
            continue;
        const auto* option = qobject_cast<QRadioButton*>(w);
        if (option && option->isChecked()) {
            first = w;
            break;
        }
        if (!first)
            first = w;
    }
    if (first)
        first->setFocus(Qt::TabFocusReason);
}

void frmUebung::hidePage(int page) {
    fraDialog[page]->setVisible(false);
}

// The checks of Next and Back: a symbol page and a factor page cannot be left with nothing
// ticked.
bool frmUebung::symbolsTicked() {
    if (Seite != 2)
        return true;
    for (QCheckBox* c : chkSymbol) {
        if (c->isChecked())
            return true;
    }
    MsgBox(langText(190), MsgButtons::Ok, MsgIcon::Exclamation, this);
    return false;
}

bool frmUebung::factorsTicked() {
    if (Seite != 4)
        return true;
    for (QCheckBox* c : chkFaktor) {
        if (c->isChecked())
            return true;
    }
    MsgBox(langText(176), MsgButtons::Ok, MsgIcon::Exclamation, this);
    return false;
}

// A typed task count or time: a number in the bar's range, or the box shows the bar's number
// again after a message. False when the box held anything else.
bool frmUebung::checkNumberBox(QLineEdit* box) {
    const bool count = box == txtAufgaben;
    QScrollBar* bar = count ? vscAufgaben : vscZeit;
    const int offset = count ? 110 : 660;
    const int low = count ? 10 : 60;
    const int high = count ? 100 : 600;
    const QString shown = QString::number(offset - bar->value());
    // Only what was typed is checked; a stored number stays as loaded.
    if (!box->isModified() || box->text() == shown || m_checkingBox)
        return true;
    bool ok = false;
    const int n = box->text().toInt(&ok);
    if (ok && n >= low && n <= high) {
        bar->setValue(offset - n);
        box->setText(QString::number(n)); // "050" becomes "50"
        return true;
    }
    m_checkingBox = true;
    box->setText(shown);
    MsgBox(langText(203).arg(low).arg(high), MsgButtons::Ok, MsgIcon::Exclamation, this);
    m_checkingBox = false;
    if (isVisible()) {
        box->setFocus();
        box->selectAll();
    }
    return false;
}

void frmUebung::cmdWeiter_Click() {
    const int from = Seite; // the page where Next was pressed
    Procedure("frmUebung", "cmdWeiter_Click")
        .run({
            [&] {
                if (from == 2 && !symbolsTicked())
                    exitProcedure();
            },
            [&] {
                if (from == 4 && !factorsTicked())
                    exitProcedure();
            },
            [&] {
                // Hiding the name page takes the focus from the name box; whether the name
                // joins the list is decided below, once it has been checked.
                m_holdLostFocus = Seite == 0;
                hidePage(Seite);
                m_holdLostFocus = false;
            },
            [&] {
                if (from == 5) {
                    Seite = 6;
                    cmdOptOK->setFocus();
                }
            },
            [&] {
                if (from != 0)
                    return;
                const QString name = txtName->text().trimmed();
                if (name.size() < 2)
                    txtName->clear(); // may be completed again from the list
                else if (name != txtName->text())
                    txtName->setText(name);
                if (refuseName()) {
                    showPage(0);
                    exitProcedure();
                }
                if (txtName->text().isEmpty()) {
                    MsgBox(langText(145), MsgButtons::Ok, MsgIcon::Information, this,
                           langText(146));
                    showPage(0);
                    txtName->setFocus();
                    exitProcedure();
                }
                txtName_LostFocus();
                Seite = 1;
            },
            [&] {
                if (from == 0 || from == 5)
                    return;
                const QList<int> pages = route(selectedKind());
                const qsizetype at = pages.indexOf(Seite);
                Seite = at >= 0 && at + 1 < pages.size() ? pages[at + 1] : 6;
            },
            [&] {
                showPage(Seite);
                if (Seite == 6) {
                    cmdWeiter->setEnabled(false);
                    cmdOptOK->setFocus();
                } else {
                    focusPage(Seite);
                }
                cmdZurueck->setEnabled(true);
            },
        });
}

void frmUebung::cmdZurueck_Click() {
    Procedure("frmUebung", "cmdZurueck_Click")
        .run({
            [&] {
                if (!symbolsTicked() || !factorsTicked())
                    exitProcedure();
            },
            [&] { hidePage(Seite); },
            [&] {
                if (Seite == 1) {
                    Seite = 0;
                } else if (Seite == 6) {
                    Seite = 5;
                } else {
                    const QList<int> pages = route(selectedKind());
                    const qsizetype at = pages.indexOf(Seite);
                    Seite = at > 0 ? pages[at - 1] : 0;
                }
            },
            [&] {
                showPage(Seite);
                if (Seite == 0) {
                    cmdZurueck->setEnabled(false);
                    txtName->setFocus();
                    txtName->selectAll();
                    BenutzerSpeichern();
                } else {
                    focusPage(Seite);
                }
            },
            [&] { cmdWeiter->setEnabled(true); },
        });
}

// ---------------------------------------------------------------- OK, Cancel, log

void frmUebung::cmdOptOK_Click() {
    if (shown()) {
        // The name is taken without blanks at its ends, as leaving the name box takes it: a
        // name of blanks alone is no name.
        const QString name = txtName->text().trimmed();
        if (name != txtName->text()) {
            m_inCompletion = true; // dropping blanks is no new input
            txtName->setText(name);
            m_inCompletion = false;
        }
        if (tooShortForANewPlayer(name) && !name.isEmpty()) {
            // A single letter never becomes a player: the name page asks for a name.
            leavePage();
            MsgBox(langText(145), MsgButtons::Ok, MsgIcon::Information, this, langText(146));
            backToFirstPage();
            cmdZurueck->setEnabled(false);
            txtName->setFocus();
            txtName->selectAll();
            return;
        }
    }
    SettingsControls c;
    c.name = txtName->text();
    c.logFile = chkLogfile->isChecked();
    c.hilfe = chkTipp->isChecked();
    c.animation = chkProgAnim->isChecked();
    c.numberPad = chkZiffernblock->isChecked();
    c.tricky = chkKnifflig[0]->isChecked();
    c.readAloud = chkVorlesen->isChecked();
    for (int k = 0; k < 25; ++k)
        c.symbols[k] = chkSymbol[k]->isChecked();
    for (int i = 0; i < 20; ++i)
        c.factors[i] = chkFaktor[i]->isChecked();
    for (int i = 0; i < 3; ++i) {
        if (optSignMul[i]->isChecked())
            c.signMulOption = i;
        if (optSignDiv[i]->isChecked())
            c.signDivOption = i;
    }
    if (shown()) {
        // A name of Kalmix's own sections or a number out of range is never stored.
        if (refuseName() || !checkNumberBox(txtAufgaben) || !checkNumberBox(txtZeit) ||
            !grpKlassenserver->check())
            return;
    }
    // The class server's keys go in the same write as the player's settings.
    const bool shownNow = shown();
    if (!applySettings(c, [this, shownNow] {
            BenutzerSpeichern();
            if (shownNow)
                grpKlassenserver->save();
        }))
        return; // no symbol or no factor: the window stays on its page
    Procedure("frmUebung", "cmdOptOK_Click")
        .run(4, {
                    [&] { leavePage(); },
                    [&] { stayWithoutName(); },
                    [&] { backToFirstPage(); },
                    [&] {
                        if (!shown())
                            return;
                        m_closedWithOk = true;
                        unload();
                    },
                });
}

// The first steps of OK and Cancel, each one statement of the caller's procedure.
void frmUebung::leavePage() {
    hidePage(Seite);
    Seite = 0;
}

// OK without a name: the window stays open on its first page, and OK ends.
void frmUebung::stayWithoutName() {
    if (txtName->text().isEmpty() && shown()) {
        MsgBox(langText(145), MsgButtons::Ok, MsgIcon::Information, this, langText(146));
        showPage(0);
        txtName->setFocus();
        exitProcedure();
    }
}

void frmUebung::backToFirstPage() {
    showPage(0);
    cmdWeiter->setEnabled(true);
}

void frmUebung::cmdCancel_Click() {
    Procedure("frmUebung", "cmdCancel_Click")
        .run({
            [&] { leavePage(); },
            [&] {
                // Without a name there is nothing to restore: the window is left as it is,
                // and nothing is saved.
                if (txtName->text().isEmpty() && shown()) {
                    backToFirstPage();
                    unload();
                    exitProcedure();
                }
            },
            [&] { backToFirstPage(); },
            [&] {
                if (!aktiv.isEmpty())
                    BenutzerLaden();
            },
            [&] {
                if (shown())
                    unload();
            },
        });
}

void frmUebung::cmdViewLog_Click() {
    LogNr().close();
    const QString path = PracticeLog::path();
    // Where the desktop has no viewer for text files, Kalmix shows the log itself.
    if (!ShellOpen(QUrl::fromLocalFile(path)) && QFile::exists(path))
        (new LogViewer(path, this))->open();
}

void frmUebung::cmdDelLogfile_Click() {
    if (!optionsFree())
        return;
    if (MsgBox(langText(163), MsgButtons::YesNo, MsgIcon::Question, this) != MsgResult::Yes)
        return;
    // Every step is tried, whatever the one before did.
    LogNr().close();
    QFile::remove(PracticeLog::path());
    cmdViewLog->setEnabled(false);
    cmdDelLogfile->setEnabled(false);
}

void frmUebung::cmdPasswort_Click() {
    // Changing or removing a password asks for it, even when it opened the window.
    choosePassword(this);
    showLockState();
}

} // namespace kalmix
