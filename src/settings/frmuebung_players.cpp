// The player list and the profiles: loading, saving, adding, choosing and deleting players.
#include "profiles/languagechoice.h"
#include "settings/frmuebung.h"

#include "engine/practicelog.h"
#include "history/reportsource.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/pictures.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"

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
#include <algorithm>

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

// The number a count or seconds box shows, brought within low to high (text that is no number
// counts as 0).
int boxNumber(const QLineEdit* box, int low, int high) {
    return static_cast<int>(std::clamp<long long>(profileNumber(box->text()), low, high));
}

} // namespace

// ---------------------------------------------------------------- players

bool frmUebung::reservedName(const QString& name) {
    return reservedPlayerName(name);
}

bool frmUebung::refuseName() {
    const QString name = txtName->text().trimmed();
    if (name.size() > kMaxNameLength &&
        lstName->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        // A longer name would not come back whole from the settings file, and its profile
        // would be lost: the box keeps what fits, for the player to shorten.
        MsgBox(langText(235).arg(kMaxNameLength), MsgButtons::Ok, MsgIcon::Exclamation, this);
        m_inCompletion = true;
        txtName->setText(name.left(kMaxNameLength));
        m_inCompletion = false;
        txtName->setFocus();
        txtName->selectAll();
        return true;
    }
    if (!reservedName(name))
        return false;
    MsgBox(langText(202).arg(name), MsgButtons::Ok, MsgIcon::Exclamation, this);
    txtName->clear(); // completes to the first listed player, if any
    txtName->setFocus();
    txtName->selectAll();
    return true;
}

bool frmUebung::tooShortForANewPlayer(const QString& name) const {
    return name.size() < 2 &&
           lstName->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty();
}

void frmUebung::savePlayerList() {
    QStringList names;
    for (int n = 1; n <= lstName->count(); ++n)
        names.append(lstName->item(n - 1)->text());
    SaveIniList(kBenutzer, QStringLiteral("Name"), names);
}

QListWidgetItem* frmUebung::selectedEntry() const {
    QListWidgetItem* item = lstName->currentItem();
    return item && item->isSelected() ? item : nullptr;
}

void frmUebung::lstName_SelectionChanged() {
    // However an entry was chosen (a click, the arrow keys, a drag from one entry to another),
    // that player is loaded, so the selected entry is always the player in the window.
    if (m_inCompletion || m_quietList)
        return;
    const QList<QListWidgetItem*> chosen = lstName->selectedItems();
    if (chosen.isEmpty())
        return;
    if (lstName->currentItem() != chosen.first()) {
        m_quietList = true;
        lstName->setCurrentItem(chosen.first());
        m_quietList = false;
    }
    lstName_Click();
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
            return;
        }
        // A name of no listed player: no entry stays marked as if it were the one shown.
        m_inCompletion = true;
        lstName->clearSelection();
        m_inCompletion = false;
    }});
    m_inCompletion = false;
}

void frmUebung::lstName_Click() {
    Procedure("frmUebung", "lstName_Click")
        .run({
            [&] {
                if (selectedEntry())
                    txtName->setText(selectedEntry()->text());
            },
            [&] {
                if (!selectedEntry())
                    exitProcedure();
                aktiv = selectedEntry()->text();
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
                // A single letter is no new player's name, however the box is left: Next
                // empties it, OK asks for a name.
                if (tooShortForANewPlayer(name) || refuseName())
                    return;
                for (int i = 0; i < lstName->count(); ++i) {
                    if (lstName->item(i)->text() == name)
                        return;
                }
                lstName->addItem(name);
                // The list is written at once, and with the new profile in one write, so no
                // crash can leave it behind the profiles.
                const SettingsBatch together;
                savePlayerList();
                BenutzerSpeichern();
            },
        });
}

void frmUebung::cmdDelEntry_Click() {
    QString name;                 // the selected player, who is also the one loaded
    bool deleteHistory = false;   // the practice history goes too only when the parent asks
    const SettingsBatch together; // the profile and the list change in one write
    Procedure("frmUebung", "cmdDelEntry_Click")
        .run({
            [&] {
                if (!selectedEntry()) {
                    MsgBox(langText(179), MsgButtons::Ok, MsgIcon::Information, this,
                           windowTitle());
                    exitProcedure();
                }
                if (!optionsFree())
                    exitProcedure();
                name = selectedEntry()->text();
                if (MsgBox(langText(201).arg(name), MsgButtons::YesNo, MsgIcon::Question, this, {},
                           MsgResult::No, langText(273), &deleteHistory) != MsgResult::Yes)
                    exitProcedure();
            },
            [&] {
                // A name that is a section of Kalmix's own never had a section of its own, and
                // a name listed again in other letter case shares its section with that player.
                if (reservedName(name))
                    return;
                for (int i = 0; i < lstName->count(); ++i) {
                    const QString other = lstName->item(i)->text();
                    if (other != name && other.compare(name, Qt::CaseInsensitive) == 0)
                        return;
                }
                SaveIni(name, std::nullopt, std::nullopt);
            },
            [&] {
                SaveIni(kBenutzer, QStringLiteral("Name%1").arg(lstName->count()), std::nullopt);
            },
            [&] {
                const auto same =
                    lstName->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
                m_quietList = true;
                for (QListWidgetItem* item : same)
                    delete item;
                lstName->clearSelection();
                m_quietList = false;
                savePlayerList();
                const bool storedActive = readActivePlayer() == name;
                txtName->clear(); // completes to the first listed player, if any
                if (txtName->text().isEmpty() && (aktiv == name || storedActive)) {
                    // No player is left: the deleted one is not kept as the active player.
                    aktiv.clear();
                    SaveIni(kBenutzer, QStringLiteral("aktiv"), std::nullopt);
                } else if (storedActive && aktiv != name) {
                    // The settings file named the deleted player as the active one: now it
                    // names the player the box was completed to.
                    SaveIni(kBenutzer, QStringLiteral("aktiv"), aktiv);
                }
                if (deleteHistory && reportSource())
                    reportSource()->deletePlayerHistory(name);
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
                m_quietList = true;
                if (!same.isEmpty())
                    lstName->setCurrentItem(same.first());
                else
                    lstName->clearSelection();
                m_quietList = false;
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
                // A stored value out of range is reported; the window and the record take the
                // nearest valid one, whatever the answer to the report.
                const int stored = GetIniInt(section, QStringLiteral("Uebung"), 0);
                const int kind = std::clamp(stored, 0, 8);
                Uebung = static_cast<std::int16_t>(kind);
                optUebung[kind]->setChecked(true);
                if (kind != stored)
                    raiseError(ErrNr::SubscriptOutOfRange);
            },
            [&] {
                if (Uebung == 0 || Uebung == 1) {
                    MaxSum = 9;
                    return;
                }
                const int stored = GetIniInt(section, QStringLiteral("MaxSum"), 0);
                const int option = stored >= 0 && stored <= 8 ? stored : 0; // the default range
                optAddition[option]->setChecked(true);
                MaxSum = rangeBound(option);
                if (option != stored)
                    raiseError(ErrNr::SubscriptOutOfRange);
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
                // As the box's handler would set it; a box that had that state already (a
                // window loaded afresh) does not run its handler.
                NullFaktor = truth(chkFaktor[19]->isChecked());
            },
            [&] {
                txtZeit->setText(QString::number(GetIniInt(section, QStringLiteral("Zeit"), 120)));
                txtAufgaben->setText(
                    QString::number(GetIniInt(section, QStringLiteral("AufgZahl"), 10)));
            },
            [&] {
                const int stored = GetIniInt(section, QStringLiteral("AufgZeit"), 0);
                const int mode = std::clamp(stored, 0, 1);
                optAufgZeit[mode]->setChecked(true);
                if (mode == 0) {
                    AufgZahl = static_cast<std::int16_t>(boxNumber(txtAufgaben, 10, 100));
                    Zeit = 0;
                } else {
                    AufgZahl = 0;
                    Zeit = static_cast<std::int16_t>(boxNumber(txtZeit, 60, 600));
                }
                if (mode != stored)
                    raiseError(ErrNr::SubscriptOutOfRange);
            },
            [&] {
                // The bars cannot take a count or a time outside their range: that is reported,
                // and the bars and the boxes show the nearest number they can take.
                const long long count = profileNumber(txtAufgaben->text());
                const int tasks = boxNumber(txtAufgaben, 10, 100);
                vscAufgaben->setValue(110 - tasks);
                txtAufgaben->setText(QString::number(tasks));
                const long long seconds = profileNumber(txtZeit->text());
                const int time = boxNumber(txtZeit, 60, 600);
                vscZeit->setValue(660 - time);
                txtZeit->setText(QString::number(time));
                if (count != tasks || seconds != time)
                    raiseError(ErrNr::InvalidPropertyValue);
            },
            [&] {
                chkSound->setChecked(GetIniInt(kOptionen, QStringLiteral("PlaySound"), -1) == -1);
                chkProgAnim->setChecked(GetIniInt(section, QStringLiteral("Animation"), 1) != 0);
                chkLogfile->setChecked(GetIniInt(kOptionen, QStringLiteral("LogFile"), 0) != 0);
                chkTipp->setChecked(GetIniInt(section, QStringLiteral("Hilfe"), 1) != 0);
                chkNull->setChecked(GetIniInt(section, QStringLiteral("Null"), 0) != 0);
                Null = truth(chkNull->isChecked());
                // A settings file without the key keeps the board without the pad.
                chkZiffernblock->setChecked(GetIniInt(section, QStringLiteral("Ziffernblock"), 0) !=
                                            0);
                chkKnifflig[0]->setChecked(GetIniInt(section, QStringLiteral("Knifflig"), 0) != 0);
                chkVorlesen->setChecked(GetIniInt(section, QStringLiteral("Vorlesen"), 0) != 0);
            },
            [&] {
                if (!txtName->text().isEmpty() && !shown())
                    cmdOptOK_Click();
            },
        });
    // However the load of a player ended, the engine finds every field of the record valid.
    // Without a player nothing is applied, and the record keeps its zero values.
    if (!aktiv.isEmpty())
        settleRecord();
}

void frmUebung::BenutzerSpeichern() {
    Procedure("frmUebung", "BenutzerSpeichern")
        .run({
            [&] { SaveLanguage(); },
            [&] {
                if (!shown())
                    exitProcedure();
            },
            [&] {
                // Never a profile in the sections of Kalmix's own, nor under an empty name.
                if (reservedName(txtName->text()) || txtName->text().trimmed().isEmpty())
                    exitProcedure();
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
                // The pad's key is written once a parent switches the pad on, so that a
                // profile saved unchanged keeps every byte.
                const QString padKey = QStringLiteral("Ziffernblock");
                if (chkZiffernblock->isChecked() ||
                    !GetIniString(aktiv, padKey, QStringLiteral("?")).startsWith(u'?'))
                    SaveIni(aktiv, padKey, bit(chkZiffernblock->isChecked()));
                const QString trickyKey = QStringLiteral("Knifflig");
                if (chkKnifflig[0]->isChecked() ||
                    !GetIniString(aktiv, trickyKey, QStringLiteral("?")).startsWith(u'?'))
                    SaveIni(aktiv, trickyKey, bit(chkKnifflig[0]->isChecked()));
                // Read-aloud's key likewise.
                const QString speechKey = QStringLiteral("Vorlesen");
                if (chkVorlesen->isChecked() ||
                    !GetIniString(aktiv, speechKey, QStringLiteral("?")).startsWith(u'?'))
                    SaveIni(aktiv, speechKey, bit(chkVorlesen->isChecked()));
            },
        });
}

} // namespace kalmix
