// The settings window's pages: their controls, texts and size.
#include "settings/frmuebung.h"

#include "engine/practicelog.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "report/reportwindow.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"
#include "services/speech.h"
#include "settings/classservergroup.h"

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
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

namespace kalmix {

namespace {

QString symbolPicturePath(int symbol, char look) {
    return QStringLiteral(":/pictures/symbols/sym%1%2.svg")
        .arg(symbol, 2, 10, QLatin1Char('0'))
        .arg(QLatin1Char(look));
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
        chkKnifflig[0] = new QCheckBox(fraDialog[3]);
        l->addWidget(chkKnifflig[0]);
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
            QFont f = h->font();
            f.setBold(true);
            h->setFont(f);
            h->setWordWrap(true);
            h->setTextFormat(Qt::PlainText);
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
        chkKnifflig[1] = new QCheckBox(fraDialog[4]);
        l->addSpacing(8);
        l->addWidget(chkKnifflig[1]);
        l->addStretch(1);
        for (int i = 0; i < 2; ++i) {
            chkKnifflig[i]->setObjectName(QStringLiteral("chkKnifflig_%1").arg(i));
            connect(chkKnifflig[i], &QCheckBox::toggled, this,
                    [this, i](bool on) { chkKnifflig[1 - i]->setChecked(on); });
        }
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
            // Typed numbers are checked against the bar's range when the box is left.
            box->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]{0,3}")), box));
            box->setAlignment(Qt::AlignRight);
            box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
            auto* bar = new QScrollBar(Qt::Vertical, fraDialog[5]);
            // Tall enough for a trough between the arrows: a click there moves a page.
            bar->setFixedHeight(box->sizeHint().height() * 4);
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
        chkZiffernblock = new QCheckBox(fraDialog[6]);
        chkZiffernblock->setObjectName(QStringLiteral("chkZiffernblock"));
        cmdPasswort = new QPushButton(fraDialog[6]);
        cmdPasswort->setObjectName(QStringLiteral("cmdPasswort"));
        lblPasswort = new QLabel(fraDialog[6]);
        lblPasswort->setObjectName(QStringLiteral("lblPasswort"));
        lblPasswort->setWordWrap(true);
        l->addWidget(chkTipp);
        l->addWidget(chkZiffernblock);
        chkVorlesen = new QCheckBox(fraDialog[6]);
        chkVorlesen->setObjectName(QStringLiteral("chkVorlesen"));
        lblKeineStimme = new QLabel(fraDialog[6]);
        lblKeineStimme->setObjectName(QStringLiteral("lblKeineStimme"));
        lblKeineStimme->setWordWrap(true);
        lblKeineStimme->setVisible(false);
        auto* speech = new QHBoxLayout;
        speech->addWidget(chkVorlesen);
        speech->addWidget(lblKeineStimme, 1);
        l->addLayout(speech);
        connect(chkVorlesen, &QCheckBox::toggled, this, [this] { checkVoice(); });
        l->addSpacing(12);
        l->addWidget(chkLogfile);
        auto* row = new QHBoxLayout;
        row->addWidget(cmdViewLog);
        auto* cmdReport = new QPushButton(fraDialog[6]);
        cmdReport->setObjectName(QStringLiteral("cmdReport"));
        // Opened with the password, the window lets its report open without asking again.
        connect(cmdReport, &QPushButton::clicked, this, [this] {
            if (optionsFree())
                ReportWindow::showReport(this);
        });
        row->addWidget(cmdReport);
        row->addWidget(cmdDelLogfile);
        row->addStretch(1);
        l->addLayout(row);
        l->addSpacing(12);
        auto* lockRow = new QHBoxLayout;
        lockRow->addWidget(cmdPasswort);
        lockRow->addWidget(lblPasswort, 1);
        lockRow->addStretch(0); // keeps the button its own width while the note is hidden
        l->addLayout(lockRow);
        grpKlassenserver = new ClassServerGroup(fraDialog[6]);
        l->addSpacing(6);
        l->addWidget(grpKlassenserver);
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
    // Enter presses the focused button; from any other control it presses Next.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(true);
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
                chkZiffernblock->setText(langText(260));
                for (QCheckBox* box : chkKnifflig)
                    box->setText(langText(360));
                chkVorlesen->setText(langText(290));
                lblKeineStimme->setText(langText(291));
            },
            [&] {
                cmdDelLogfile->setText(langText(154));
                cmdViewLog->setText(langText(162));
                // Without its access key: in most languages the key of the stored text is
                // that of Next, Previous or Cancel, which every page has.
                cmdPasswort->setText(QString(langText(156)).remove(u'&'));
                lblPasswort->setText(langText(355));
                findChild<QPushButton*>(QStringLiteral("cmdReport"))->setText(langText(301));
                grpKlassenserver->Sprache();
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

void frmUebung::checkVoice() {
    if (!chkVorlesen->isChecked() || !fraDialog[6]->isVisible()) {
        showVoiceNote();
        return; // asked only for the page a parent sees, never while the window is hidden
    }
    const int language = SprachBasis / 1000;
    if (language < 0 || language > 6 || (m_voiceKnown & (1u << language))) {
        showVoiceNote();
        return;
    }
    QPointer<frmUebung> self(this);
    speaker().askVoice(language, [self, language](bool found) {
        if (!self)
            return;
        self->m_voiceKnown |= 1u << language;
        if (found)
            self->m_voiceFound |= 1u << language;
        self->showVoiceNote();
    });
}

void frmUebung::showVoiceNote() {
    const int language = SprachBasis / 1000;
    const unsigned bit = language >= 0 && language <= 6 ? 1u << language : 0;
    const bool none = (m_voiceKnown & bit) && !(m_voiceFound & bit);
    lblKeineStimme->setVisible(chkVorlesen->isChecked() && none);
}

} // namespace kalmix
