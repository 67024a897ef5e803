#include "main/playerbox.h"

#include "main/frmkalmix.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/procedure.h"
#include "settings/frmuebung.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace kalmix {

PlayerBox::PlayerBox(QWidget* parent) : QComboBox(parent) {
    // The closed box changes its entry only through the list, so every activation is a pick.
    connect(this, &QComboBox::activated, this, &PlayerBox::picked);
}

void PlayerBox::showPlayer(const QString& name) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(name.isEmpty() ? -1 : findText(name));
}

void PlayerBox::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

void PlayerBox::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!alt) {
            showPopup();
            return;
        }
        break; // Alt+arrow opens the list as usual
    case Qt::Key_F4:
    case Qt::Key_Space:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break;
    default:
        // Page keys, Home, End and typed letters would choose another player unseen.
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

// ---------------------------------------------------------------- the main window's player list

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
                cmbName->setCurrentIndex(-1);
            },
            [&] { aktiv = readActivePlayer(); },
            [&] {
                // A player missing from the list leaves the box empty rather than showing
                // the first name while the game plays for another.
                cmbName->showPlayer(aktiv);
                if (!aktiv.isEmpty())
                    cmbName->setEnabled(true);
            },
        });
    updateFirstStartHint();
}

void frmKalmix::cmbName_Click() {
    // The old game stands still while the new player's profile loads: a message box of the
    // load lets events run, and none of that game's waits may end and draw a task from a
    // record that is only half loaded.
    bool held = false;
    Procedure("frmKalmix", "cmbName_click")
        .run({
            [&] {
                if (!isVisible())
                    exitProcedure();
            },
            [&] { aktiv = cmbName->currentText(); },
            [&] {
                if (!m_game.paused()) {
                    m_game.pauseForSettings();
                    held = true;
                }
                uebung().BenutzerLaden();
            },
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
    // Started anew, the old game is gone; otherwise it goes on, or ends when it cannot.
    if (held)
        m_game.resumeAfterSettings();
}

void frmKalmix::settleActivePlayer(const QString& before) {
    // Left without OK, the settings window applied nothing. When the active player changed in
    // it (another chosen, one added, the active one deleted), the game takes the player that
    // the settings file names, loaded and applied as at start-up: never one player's name
    // with another one's settings, never a deleted player.
    if (aktiv == before && readActivePlayer() == before)
        return;
    ComboAktualisieren();
    if (m_uebung)
        m_uebung->BenutzerLaden();
    else
        uebung(); // a window loaded hidden loads the active player and applies the profile
}

} // namespace kalmix
