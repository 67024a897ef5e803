#include "settings/frmuebung.h"

#include "engine/practicelog.h"
#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/settings.h"
#include "services/sound.h"
#include "settings/record.h"

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
    connect(lstName, &QListWidget::itemClicked, this, [this] { lstName_Click(); });
    connect(cmdDelEntry, &QPushButton::clicked, this, [this] { cmdDelEntry_Click(); });
    connect(cmdWeiter, &QPushButton::clicked, this, [this] { cmdWeiter_Click(); });
    connect(cmdZurueck, &QPushButton::clicked, this, [this] { cmdZurueck_Click(); });
    connect(cmdOptOK, &QPushButton::clicked, this, [this] { cmdOptOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdViewLog, &QPushButton::clicked, this, [this] { cmdViewLog_Click(); });
    connect(cmdDelLogfile, &QPushButton::clicked, this, [this] { cmdDelLogfile_Click(); });
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
            [&] { Sprache(); },
            [&] { loadPlayerList(); },
            [&] { BenutzerLaden(); },
        });
}

void frmUebung::showModal() {
    exec();
}

void frmUebung::showEvent(QShowEvent* event) {
    loadSymbolPictures();
    fitPages();
    QDialog::showEvent(event);
    Form_Activate();
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
}

void frmUebung::closeEvent(QCloseEvent* event) {
    if (!m_unloaded) {
        Form_Unload();
        m_unloaded = true;
    }
    event->accept();
    QDialog::closeEvent(event);
}

void frmUebung::reject() {
    cmdCancel_Click();
}

// ---------------------------------------------------------------- pages

void frmUebung::showPage(int page) {
    fraDialog[page]->setVisible(true);
}
void frmUebung::hidePage(int page) {
    fraDialog[page]->setVisible(false);
}

bool frmUebung::checkTicks() {
    if (Seite == 2) {
        bool any = false;
        for (QCheckBox* c : chkSymbol)
            any = any || c->isChecked();
        if (!any) {
            MsgBox(langText(190), MsgButtons::Ok, MsgIcon::Exclamation, this);
            return false;
        }
    }
    if (Seite == 4) {
        bool any = false;
        for (QCheckBox* c : chkFaktor)
            any = any || c->isChecked();
        if (!any) {
            MsgBox(langText(176), MsgButtons::Ok, MsgIcon::Exclamation, this);
            return false;
        }
    }
    return true;
}

void frmUebung::cmdWeiter_Click() {
    Procedure("frmUebung", "cmdWeiter_Click")
        .run({
            [&] {
                if (!checkTicks())
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
                if (Seite == 5) {
                    Seite = 6;
                    cmdOptOK->setFocus();
                } else if (Seite == 0) {
                    const QString name = txtName->text().trimmed();
                    if (name.size() < 2)
                        txtName->clear(); // may be completed again from the list
                    else if (name != txtName->text())
                        txtName->setText(name);
                    if (txtName->text().isEmpty()) {
                        MsgBox(langText(145), MsgButtons::Ok, MsgIcon::Information, this,
                               langText(146));
                        showPage(0);
                        txtName->setFocus();
                        exitProcedure();
                    }
                    txtName_LostFocus();
                    Seite = 1;
                } else {
                    const QList<int> pages = route(selectedKind());
                    const qsizetype at = pages.indexOf(Seite);
                    Seite = at >= 0 && at + 1 < pages.size() ? pages[at + 1] : 6;
                }
            },
            [&] {
                showPage(Seite);
                if (Seite == 6) {
                    cmdWeiter->setEnabled(false);
                    cmdOptOK->setFocus();
                }
                cmdZurueck->setEnabled(true);
            },
        });
}

void frmUebung::cmdZurueck_Click() {
    Procedure("frmUebung", "cmdZurueck_Click")
        .run({
            [&] {
                if (!checkTicks())
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
                }
            },
            [&] { cmdWeiter->setEnabled(true); },
        });
}

// ---------------------------------------------------------------- OK, Cancel, log

void frmUebung::cmdOptOK_Click() {
    SettingsControls c;
    c.name = txtName->text();
    c.logFile = chkLogfile->isChecked();
    c.hilfe = chkTipp->isChecked();
    c.animation = chkProgAnim->isChecked();
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
    if (!applySettings(c, [this] { BenutzerSpeichern(); }))
        return; // no symbol or no factor: the window stays on its page
    Procedure("frmUebung", "cmdOptOK_Click")
        .run(7, {
                    [&] { leavePage(); },
                    [&] { stayWithoutName(); },
                    [&] { backToFirstPage(); },
                    [&] {
                        if (shown())
                            unload();
                    },
                });
}

// The first steps of OK and Cancel, each one statement of the caller's procedure.
void frmUebung::leavePage() {
    hidePage(Seite);
    Seite = 0;
}

// Without a name the window stays open on its first page, and the caller's procedure ends.
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
            [&] { stayWithoutName(); },
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
    ShellOpen(QUrl::fromLocalFile(PracticeLog::path()));
}

void frmUebung::cmdDelLogfile_Click() {
    if (MsgBox(langText(163), MsgButtons::YesNo, MsgIcon::Question, this) != MsgResult::Yes)
        return;
    // Every step is tried, whatever the one before did.
    LogNr().close();
    QFile::remove(PracticeLog::path());
    cmdViewLog->setEnabled(false);
    cmdDelLogfile->setEnabled(false);
}

} // namespace kalmix
