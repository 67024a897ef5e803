#include "main/playerbox.h"

#include "errors/procedure.h"
#include "main/frmkalmix.h"
#include "services/settings.h"
#include "settings/frmuebung.h"
#include "settings/record.h"

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
            [&] {
                aktiv = GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"),
                                     QString(255, u' '));
            },
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

} // namespace kalmix
