// Shows the grown-up's password questions, for screenshots:
//   shot_password MODE [LANGUAGE_BASE]
// MODE ask: the question for the password that is set, a few characters typed.
// MODE choose: the window for a new password (both boxes typed, Remove offered).
// MODE page: the settings window's last page while a password is set.
// It runs in a fresh program directory under /tmp, with one sample player.
#include "errors/fehlerwart.h"
#include "profiles/passwordhash.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QTimer>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("ask");
    SprachBasis = static_cast<std::int16_t>(argc > 2 ? QByteArray(argv[2]).toInt() : 0);
    const QString dir = QDir::tempPath() + QStringLiteral("/kalmix-shot-password");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    setProgramDirForTesting(dir);
    WriteLanguageCopy();
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("Anna"));
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Passwort"),
            makePasswordHash(QStringLiteral("geheim"), 1000));
    aktiv = QStringLiteral("Anna");

    frmUebung wizard;
    QTimer::singleShot(200, &wizard, [&] {
        while (wizard.Seite != 6)
            wizard.cmdWeiter_Click();
        if (mode != "page")
            wizard.cmdPasswort_Click();
    });
    // Fills the question that is open: the old password, then the new one twice.
    QTimer fill;
    fill.setInterval(100);
    QObject::connect(&fill, &QTimer::timeout, &wizard, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog == &wizard)
            return;
        // Beside the settings window, so that neither hides the other.
        dialog->move(wizard.frameGeometry().right() + 16, wizard.y());
        const auto boxes = dialog->findChildren<QLineEdit*>();
        if (boxes.size() == 1 && boxes[0]->text().isEmpty()) {
            boxes[0]->setText(QStringLiteral("geheim"));
            if (mode == "choose")
                QTimer::singleShot(100, dialog, &QDialog::accept);
        } else if (boxes.size() == 2 && boxes[0]->text().isEmpty()) {
            for (QLineEdit* box : boxes)
                box->setText(QStringLiteral("neu-1234"));
        }
    });
    fill.start();
    wizard.move(0, 0);
    wizard.showModal(true);
    return 0;
}
