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

const QString kBenutzer = QStringLiteral("Benutzer");
const QString kOptionen = QStringLiteral("Optionen");

QString symbolPicturePath(int symbol, char look) {
    return QStringLiteral(":/pictures/symbols/sym%1%2.svg")
        .arg(symbol, 2, 10, QLatin1Char('0'))
        .arg(QLatin1Char(look));
}

// A whole number, strictly: anything else is a type mismatch.
int strictNumber(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        raiseError(ErrNr::TypeMismatch);
    return v;
}

QLabel* heading(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.25);
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: #1d4f91;"));
    return l;
}

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

void frmUebung::createPages() {
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->setSpacing(16);

    // A friendly picture beside the pages.
    auto* side = new QLabel(this);
    side->setPixmap(picture(QStringLiteral(":/pictures/kalmix.svg"), QSize(96, 96)));
    side->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    outer->addWidget(side);

    auto* right = new QVBoxLayout;
    outer->addLayout(right, 1);
    auto* pages = new QGridLayout;
    right->addLayout(pages, 1);

    for (int i = 0; i < 7; ++i) {
        fraDialog[i] = new QWidget(this);
        fraDialog[i]->setObjectName(QStringLiteral("fraDialog_%1").arg(i));
        pages->addWidget(fraDialog[i], 0, 0);
        fraDialog[i]->setVisible(i == 0);
        lblHeading[i] = heading(fraDialog[i]);
    }

    // Page 0: the name.
    {
        auto* l = new QVBoxLayout(fraDialog[0]);
        l->addWidget(lblHeading[0]);
        txtName = new QLineEdit(fraDialog[0]);
        txtName->setObjectName(QStringLiteral("txtName"));
        // A name must survive as a section name of the settings file.
        txtName->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[^\\[\\]\\x00-\\x1F\\x7F]*")), txtName));
        QFont big = txtName->font();
        big.setPointSizeF(big.pointSizeF() * 1.3);
        txtName->setFont(big);
        l->addWidget(txtName);
        lstName = new QListWidget(fraDialog[0]);
        lstName->setObjectName(QStringLiteral("lstName"));
        lstName->setFont(big);
        l->addWidget(lstName, 1);
        cmdDelEntry = new QPushButton(fraDialog[0]);
        cmdDelEntry->setObjectName(QStringLiteral("cmdDelEntry"));
        cmdDelEntry->setAutoDefault(false);
        l->addWidget(cmdDelEntry, 0, Qt::AlignLeft);
    }
    // Page 1: the exercise kind.
    {
        auto* l = new QVBoxLayout(fraDialog[1]);
        l->addWidget(lblHeading[1]);
        auto* group = new QButtonGroup(this);
        for (int i = 0; i < 9; ++i) {
            optUebung[i] = new QRadioButton(fraDialog[1]);
            optUebung[i]->setObjectName(QStringLiteral("optUebung_%1").arg(i));
            group->addButton(optUebung[i], i);
            l->addWidget(optUebung[i]);
        }
        l->addStretch(1);
    }
    // Page 2: the symbols, 5 x 5, and the hidden second looks.
    {
        auto* l = new QVBoxLayout(fraDialog[2]);
        l->addWidget(lblHeading[2]);
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(14);
        for (int k = 0; k < 25; ++k) {
            chkSymbol[k] = new QCheckBox(fraDialog[2]);
            chkSymbol[k]->setObjectName(QStringLiteral("chkSymbol_%1").arg(k));
            chkSymbol[k]->setIconSize(QSize(32, 32)); // the pictures come with the first showing
            grid->addWidget(chkSymbol[k], k / 5, k % 5);
            imgSymbolY[k] = new QLabel(fraDialog[2]);
            imgSymbolY[k]->setObjectName(QStringLiteral("imgSymbolY_%1").arg(k));
            imgSymbolY[k]->setFixedSize(32, 32);
            imgSymbolY[k]->setVisible(false);
        }
        l->addLayout(grid);
        l->addStretch(1);
    }
    // Page 3: the number range.
    {
        auto* l = new QVBoxLayout(fraDialog[3]);
        l->addWidget(lblHeading[3]);
        auto* grid = new QGridLayout;
        auto* group = new QButtonGroup(this);
        // Shown smallest first; the option numbers stay those of the stored profile.
        static const int order[9] = {8, 6, 0, 7, 1, 2, 3, 4, 5};
        for (int n = 0; n < 9; ++n) {
            const int i = order[n];
            optAddition[i] = new QRadioButton(QString::number(rangeBound(i)), fraDialog[3]);
            optAddition[i]->setObjectName(QStringLiteral("optAddition_%1").arg(i));
            group->addButton(optAddition[i], i);
            grid->addWidget(optAddition[i], n / 3, n % 3);
        }
        l->addLayout(grid);
        chkNull = new QCheckBox(fraDialog[3]);
        chkNull->setObjectName(QStringLiteral("chkNull"));
        l->addSpacing(8);
        l->addWidget(chkNull);
        l->addStretch(1);
    }
    // Page 4: factors and signs.
    {
        auto* l = new QVBoxLayout(fraDialog[4]);
        l->addWidget(lblHeading[4]);
        auto* grid = new QGridLayout;
        for (int i = 0; i < 20; ++i) {
            chkFaktor[i] = new QCheckBox(QString::number(factorOfBox(i)), fraDialog[4]);
            chkFaktor[i]->setObjectName(QStringLiteral("chkFaktor_%1").arg(i));
            grid->addWidget(chkFaktor[i], i / 5, i % 5);
        }
        l->addLayout(grid);
        l->addSpacing(10);
        auto* signs = new QGridLayout;
        lblSignMul = new QLabel(fraDialog[4]);
        lblSignDiv = new QLabel(fraDialog[4]);
        for (QLabel* h : {lblSignMul, lblSignDiv}) {
            h->setTextFormat(Qt::PlainText);
            QFont f = h->font();
            f.setBold(true);
            h->setFont(f);
            h->setWordWrap(true);
        }
        signs->addWidget(lblSignMul, 0, 0);
        signs->addWidget(lblSignDiv, 0, 1);
        auto* mul = new QButtonGroup(this);
        auto* div = new QButtonGroup(this);
        QFont signFont = font();
        signFont.setPointSizeF(signFont.pointSizeF() * 1.5);
        signFont.setBold(true);
        for (int i = 0; i < 3; ++i) {
            optSignMul[i] = new QRadioButton(mulSignOption(i), fraDialog[4]);
            optSignMul[i]->setObjectName(QStringLiteral("optSignMul_%1").arg(i));
            mul->addButton(optSignMul[i], i);
            signs->addWidget(optSignMul[i], i + 1, 0);
            optSignMul[i]->setFont(signFont);
            optSignDiv[i] = new QRadioButton(divSignOption(i), fraDialog[4]);
            optSignDiv[i]->setFont(signFont);
            optSignDiv[i]->setObjectName(QStringLiteral("optSignDiv_%1").arg(i));
            div->addButton(optSignDiv[i], i);
            signs->addWidget(optSignDiv[i], i + 1, 1);
        }
        l->addLayout(signs);
        l->addStretch(1);
    }
    // Page 5: sound, animation and how a game ends.
    {
        auto* l = new QVBoxLayout(fraDialog[5]);
        lblHeading[5]->setVisible(false);
        chkSound = new QCheckBox(fraDialog[5]);
        chkSound->setObjectName(QStringLiteral("chkSound"));
        chkProgAnim = new QCheckBox(fraDialog[5]);
        chkProgAnim->setObjectName(QStringLiteral("chkProgAnim"));
        l->addWidget(chkSound);
        l->addWidget(chkProgAnim);
        l->addSpacing(12);
        auto* group = new QButtonGroup(this);
        auto* grid = new QGridLayout;
        for (int i = 0; i < 2; ++i) {
            optAufgZeit[i] = new QRadioButton(fraDialog[5]);
            optAufgZeit[i]->setObjectName(QStringLiteral("optAufgZeit_%1").arg(i));
            group->addButton(optAufgZeit[i], i);
            auto* box = new QLineEdit(fraDialog[5]);
            box->setReadOnly(true);
            box->setAlignment(Qt::AlignRight);
            box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
            auto* bar = new QScrollBar(Qt::Vertical, fraDialog[5]);
            bar->setFixedHeight(box->sizeHint().height() + 8);
            grid->addWidget(optAufgZeit[i], i, 0);
            grid->addWidget(box, i, 1);
            grid->addWidget(bar, i, 2);
            if (i == 0) {
                txtAufgaben = box;
                vscAufgaben = bar;
                bar->setRange(10, 100);
                bar->setPageStep(10);
            } else {
                txtZeit = box;
                vscZeit = bar;
                bar->setRange(60, 600);
                bar->setSingleStep(10);
                bar->setPageStep(60);
            }
        }
        txtAufgaben->setObjectName(QStringLiteral("txtAufgaben"));
        vscAufgaben->setObjectName(QStringLiteral("vscAufgaben"));
        txtZeit->setObjectName(QStringLiteral("txtZeit"));
        vscZeit->setObjectName(QStringLiteral("vscZeit"));
        grid->setColumnStretch(3, 1);
        l->addLayout(grid);
        l->addStretch(1);
    }
    // Page 6: solution help and the practice log.
    {
        auto* l = new QVBoxLayout(fraDialog[6]);
        lblHeading[6]->setVisible(false);
        chkTipp = new QCheckBox(fraDialog[6]);
        chkTipp->setObjectName(QStringLiteral("chkTipp"));
        chkLogfile = new QCheckBox(fraDialog[6]);
        chkLogfile->setObjectName(QStringLiteral("chkLogfile"));
        cmdViewLog = new QPushButton(fraDialog[6]);
        cmdViewLog->setObjectName(QStringLiteral("cmdViewLog"));
        cmdDelLogfile = new QPushButton(fraDialog[6]);
        cmdDelLogfile->setObjectName(QStringLiteral("cmdDelLogfile"));
        for (QPushButton* b : {cmdViewLog, cmdDelLogfile})
            b->setAutoDefault(false);
        l->addWidget(chkTipp);
        l->addSpacing(12);
        l->addWidget(chkLogfile);
        auto* row = new QHBoxLayout;
        row->addWidget(cmdViewLog);
        row->addWidget(cmdDelLogfile);
        row->addStretch(1);
        l->addLayout(row);
        l->addStretch(1);
    }

    auto* buttons = new QHBoxLayout;
    cmdZurueck = new QPushButton(this);
    cmdWeiter = new QPushButton(this);
    cmdCancel = new QPushButton(this);
    cmdOptOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdZurueck->setObjectName(QStringLiteral("cmdZurueck"));
    cmdWeiter->setObjectName(QStringLiteral("cmdWeiter"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOptOK->setObjectName(QStringLiteral("cmdOptOK"));
    for (QPushButton* b : {cmdZurueck, cmdCancel, cmdOptOK})
        b->setAutoDefault(false);
    cmdWeiter->setDefault(true);
    buttons->addWidget(cmdZurueck);
    buttons->addWidget(cmdWeiter);
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdOptOK);
    right->addLayout(buttons);

    // The state of a freshly loaded window.
    optUebung[0]->setChecked(true);
    optAddition[7]->setChecked(true);
    optAufgZeit[0]->setChecked(true);
    optSignMul[0]->setChecked(true);
    optSignDiv[0]->setChecked(true);
    chkSound->setChecked(true);
    chkProgAnim->setChecked(true);
    vscAufgaben->setValue(100);
    txtAufgaben->setText(QStringLiteral("10"));
    vscZeit->setValue(540);
    txtZeit->setText(QStringLiteral("120"));
    cmdZurueck->setEnabled(false);
}

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

void frmUebung::loadSymbolPictures() {
    // Drawn when the window is first shown: the hidden window that keeps the active player's
    // settings needs none of them, and Kalmix starts sooner.
    if (m_symbolPictures)
        return;
    m_symbolPictures = true;
    for (int k = 0; k < 25; ++k) {
        chkSymbol[k]->setIcon(QIcon(picture(symbolPicturePath(k, 'a'), QSize(32, 32))));
        imgSymbolY[k]->setPixmap(picture(symbolPicturePath(k, 'b'), QSize(32, 32)));
    }
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

// ---------------------------------------------------------------- texts

void frmUebung::Sprache() {
    Procedure("frmUebung", "Sprache")
        .run({
            [&] { setWindowTitle(langText(147)); },
            [&] {
                static const int kinds[8] = {127, 128, 185, 181, 182, 186, 187, 188};
                for (int i = 0; i < 8; ++i)
                    optUebung[i]->setText(langText(kinds[i]));
                optUebung[8]->setText(langText(187) + QStringLiteral(" + ") + langText(188));
            },
            [&] {
                optAufgZeit[0]->setText(langText(136));
                optAufgZeit[1]->setText(langText(152));
                chkSound->setText(langText(119));
                chkProgAnim->setText(langText(192));
                chkLogfile->setText(langText(153));
                chkTipp->setText(langText(177));
                chkNull->setText(langText(191));
            },
            [&] {
                cmdDelLogfile->setText(langText(154));
                cmdViewLog->setText(langText(162));
                cmdCancel->setText(langText(143));
                cmdDelEntry->setText(langText(178));
                cmdWeiter->setText(langText(169));
                cmdZurueck->setText(langText(170));
                lblSignMul->setText(langText(167));
                lblSignDiv->setText(langText(168));
            },
            [&] {
                lblHeading[0]->setText(langText(171));
                lblHeading[1]->setText(langText(172));
                lblHeading[2]->setText(langText(173));
                lblHeading[3]->setText(langText(174) + u'\n' + u'(' + langText(187) + u')');
                lblHeading[4]->setText(langText(175));
            },
            [&] {
                // Measuring the pages is for the eye: a hidden window needs no sizes.
                if (isVisible())
                    fitPages();
            },
        });
}

void frmUebung::fitPages() {
    // Every page gets the room of the largest, so the window keeps its size while stepping.
    QSize room;
    for (QWidget* page : fraDialog)
        room = room.expandedTo(page->sizeHint());
    room = room.expandedTo(QSize(420, 0));
    for (QWidget* page : fraDialog)
        page->setMinimumSize(room);
    adjustSize();
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

// ---------------------------------------------------------------- players

void frmUebung::loadPlayerList() {
    Procedure("frmUebung", "Form_Load").run({[&] {
        lstName->clear();
        lstName->addItems(readPlayerNames());
    }});
}

void frmUebung::savePlayerList() {
    QStringList names;
    for (int n = 1; n <= lstName->count(); ++n)
        names.append(lstName->item(n - 1)->text());
    SaveIniList(kBenutzer, QStringLiteral("Name"), names);
}

void frmUebung::txtName_Change() {
    if (m_inCompletion)
        return;
    Procedure("frmUebung", "txtName_Change").run({[&] {
        const QString text = txtName->text();
        const qsizetype n = text.size();
        for (int i = 0; i < lstName->count(); ++i) {
            const QString entry = lstName->item(i)->text();
            if (entry.size() < n || entry.left(n).compare(text, Qt::CaseInsensitive) != 0)
                continue;
            m_inCompletion = true;
            lstName->setCurrentRow(i);
            lstName_Click();
            m_inCompletion = false;
            txtName->setSelection(static_cast<int>(n), static_cast<int>(entry.size() - n));
            break;
        }
    }});
    m_inCompletion = false;
}

void frmUebung::lstName_Click() {
    Procedure("frmUebung", "lstName_Click")
        .run({
            [&] {
                if (lstName->currentItem())
                    txtName->setText(lstName->currentItem()->text());
            },
            [&] {
                if (!lstName->currentItem())
                    exitProcedure();
                aktiv = lstName->currentItem()->text();
            },
            [&] { BenutzerLaden(); },
        });
}

void frmUebung::txtName_LostFocus() {
    Procedure("frmUebung", "txtName_LostFocus")
        .run({
            [&] {
                const QString name = txtName->text().trimmed();
                if (name != txtName->text()) {
                    m_inCompletion = true; // dropping blanks is no new input
                    txtName->setText(name);
                    m_inCompletion = false;
                }
            },
            [&] {
                const QString name = txtName->text();
                if (name.isEmpty())
                    return;
                for (int i = 0; i < lstName->count(); ++i) {
                    if (lstName->item(i)->text() == name)
                        return;
                }
                lstName->addItem(name);
                // The list is written at once, so no crash can leave it behind the profiles.
                savePlayerList();
                BenutzerSpeichern();
            },
        });
}

void frmUebung::cmdDelEntry_Click() {
    Procedure("frmUebung", "cmdDelEntry_Click")
        .run({
            [&] {
                if (!lstName->currentItem() || !lstName->currentItem()->isSelected()) {
                    MsgBox(langText(179), MsgButtons::Ok, MsgIcon::Information, this,
                           windowTitle());
                    exitProcedure();
                }
            },
            [&] { SaveIni(txtName->text(), std::nullopt, std::nullopt); },
            [&] {
                SaveIni(kBenutzer, QStringLiteral("Name%1").arg(lstName->count()), std::nullopt);
            },
            [&] {
                delete lstName->takeItem(lstName->currentRow());
                savePlayerList();
                txtName->clear(); // completes to the first listed player, if any
            },
        });
}

void frmUebung::BenutzerLaden() {
    const QString section = aktiv;
    Procedure("frmUebung", "BenutzerLaden")
        .run({
            [&] {
                // The stored player is loaded as it is: completing the name here could put
                // another player's profile in its place.
                m_inCompletion = true;
                txtName->setText(aktiv);
                m_inCompletion = false;
                const auto same =
                    lstName->findItems(aktiv, Qt::MatchExactly | Qt::MatchCaseSensitive);
                if (!same.isEmpty())
                    lstName->setCurrentItem(same.first());
            },
            [&] {
                SignMul = u' ' + GetIniString(kOptionen, QStringLiteral("SignMul"), langText(183));
                for (int i = 0; i < 3; ++i) {
                    if (mulSignOption(i) == SignMul.trimmed())
                        optSignMul[i]->setChecked(true);
                }
                SignDiv = u' ' + GetIniString(kOptionen, QStringLiteral("SignDiv"), langText(184));
                for (int i = 0; i < 3; ++i) {
                    if (divSignOption(i) == SignDiv.trimmed())
                        optSignDiv[i]->setChecked(true);
                }
            },
            [&] {
                const int kind = GetIniInt(section, QStringLiteral("Uebung"), 0);
                if (kind < 0 || kind > 8)
                    raiseError(ErrNr::SubscriptOutOfRange);
                Uebung = static_cast<std::int16_t>(kind);
                optUebung[kind]->setChecked(true);
            },
            [&] {
                if (Uebung == 0 || Uebung == 1) {
                    MaxSum = 9;
                    return;
                }
                const int option = GetIniInt(section, QStringLiteral("MaxSum"), 0);
                if (option < 0 || option > 8)
                    raiseError(ErrNr::SubscriptOutOfRange);
                optAddition[option]->setChecked(true);
                MaxSum = rangeBound(option);
            },
            [&] {
                const QString symbole = GetIniString(section, QStringLiteral("Symbole"),
                                                     QString::fromLatin1(kDefaultSymbole));
                for (int k = 0; k < 25; ++k)
                    chkSymbol[k]->setChecked(tickAt(symbole, k));
                const QString faktoren = GetIniString(section, QStringLiteral("Faktoren"),
                                                      QString::fromLatin1(kDefaultFaktoren));
                for (int i = 0; i < 20; ++i)
                    chkFaktor[i]->setChecked(tickAt(faktoren, i));
            },
            [&] {
                txtZeit->setText(QString::number(GetIniInt(section, QStringLiteral("Zeit"), 120)));
                txtAufgaben->setText(
                    QString::number(GetIniInt(section, QStringLiteral("AufgZahl"), 10)));
            },
            [&] {
                const int mode = GetIniInt(section, QStringLiteral("AufgZeit"), 0);
                if (mode < 0 || mode > 1)
                    raiseError(ErrNr::SubscriptOutOfRange);
                optAufgZeit[mode]->setChecked(true);
                if (mode == 0) {
                    AufgZahl = static_cast<std::int16_t>(profileNumber(txtAufgaben->text()));
                    Zeit = 0;
                } else {
                    AufgZahl = 0;
                    Zeit = static_cast<std::int16_t>(profileNumber(txtZeit->text()));
                }
            },
            [&] {
                // The bars cannot take a count or a time outside their range.
                const int count = static_cast<int>(profileNumber(txtAufgaben->text()));
                if (count < 10 || count > 100)
                    raiseError(ErrNr::InvalidPropertyValue);
                vscAufgaben->setValue(110 - count);
            },
            [&] {
                const int seconds = static_cast<int>(profileNumber(txtZeit->text()));
                if (seconds < 60 || seconds > 600)
                    raiseError(ErrNr::InvalidPropertyValue);
                vscZeit->setValue(660 - seconds);
            },
            [&] {
                chkSound->setChecked(GetIniInt(kOptionen, QStringLiteral("PlaySound"), -1) == -1);
                chkProgAnim->setChecked(GetIniInt(section, QStringLiteral("Animation"), 1) != 0);
                chkLogfile->setChecked(GetIniInt(kOptionen, QStringLiteral("LogFile"), 0) != 0);
                chkTipp->setChecked(GetIniInt(section, QStringLiteral("Hilfe"), 1) != 0);
                chkNull->setChecked(GetIniInt(section, QStringLiteral("Null"), 0) != 0);
            },
            [&] {
                if (!txtName->text().isEmpty() && !shown())
                    cmdOptOK_Click();
            },
        });
}

void frmUebung::BenutzerSpeichern() {
    Procedure("frmUebung", "BenutzerSpeichern")
        .run({
            [&] { SaveIni(kOptionen, QStringLiteral("Sprache"), Str(SprachBasis)); },
            [&] {
                if (!shown())
                    exitProcedure();
            },
            [&] {
                aktiv = txtName->text().trimmed();
                SaveIni(kBenutzer, QStringLiteral("aktiv"), aktiv);
            },
            [&] {
                for (int i = 0; i < 9; ++i) {
                    if (optUebung[i]->isChecked()) {
                        SaveIni(aktiv, QStringLiteral("Uebung"), Str(i));
                        Uebung = static_cast<std::int16_t>(i);
                    }
                }
            },
            [&] {
                for (int i = 0; i < 9; ++i) {
                    if (!optAddition[i]->isChecked())
                        continue;
                    SaveIni(aktiv, QStringLiteral("MaxSum"), Str(i));
                    if (Uebung >= 2)
                        MaxSum = rangeBound(i);
                }
            },
            [&] {
                std::array<bool, 25> symbols{};
                for (int k = 0; k < 25; ++k)
                    symbols[k] = chkSymbol[k]->isChecked();
                SaveIni(aktiv, QStringLiteral("Symbole"), tickString(symbols));
                std::array<bool, 20> factors{};
                for (int i = 0; i < 20; ++i)
                    factors[i] = chkFaktor[i]->isChecked();
                SaveIni(aktiv, QStringLiteral("Faktoren"), tickString(factors));
            },
            [&] {
                if (optAufgZeit[0]->isChecked()) {
                    SaveIni(aktiv, QStringLiteral("AufgZeit"), Str(0));
                    AufgZahl = static_cast<std::int16_t>(strictNumber(txtAufgaben->text()));
                    Zeit = 0;
                } else {
                    SaveIni(aktiv, QStringLiteral("AufgZeit"), Str(1));
                    AufgZahl = 0;
                    Zeit = static_cast<std::int16_t>(strictNumber(txtZeit->text()));
                }
            },
            [&] {
                SaveIni(aktiv, QStringLiteral("Zeit"), txtZeit->text());
                SaveIni(aktiv, QStringLiteral("AufgZahl"), txtAufgaben->text());
            },
            [&] {
                auto bit = [](bool on) { return on ? Str(1) : Str(0); };
                SaveIni(aktiv, QStringLiteral("Animation"), bit(chkProgAnim->isChecked()));
                SaveIni(kOptionen, QStringLiteral("LogFile"), bit(chkLogfile->isChecked()));
                SaveIni(aktiv, QStringLiteral("Hilfe"), bit(chkTipp->isChecked()));
                SaveIni(aktiv, QStringLiteral("Null"), bit(chkNull->isChecked()));
            },
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
