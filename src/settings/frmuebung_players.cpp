// The player list and the profiles: loading, saving, adding, choosing and deleting players.
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

// A whole number, strictly: anything else is a type mismatch.
int strictNumber(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        raiseError(ErrNr::TypeMismatch);
    return v;
}

} // namespace

// ---------------------------------------------------------------- players

void frmUebung::loadPlayerList() {
    Procedure("frmUebung", "Form_Load").run({[&] {
        lstName->clear();
        lstName->addItems(readPlayerNames());
    }});
}

void frmUebung::savePlayerList() {
    for (int n = 1; n <= lstName->count(); ++n)
        SaveIni(kBenutzer, QStringLiteral("Name%1").arg(n), lstName->item(n - 1)->text());
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

} // namespace kalmix
