#include "settings/passwordlock.h"

#include "profiles/passwordhash.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/msgbox.h"

#include <QApplication>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalmix {

namespace {

const QString kOptionen = QStringLiteral("Optionen");
const QString kPasswort = QStringLiteral("Passwort");

PasswordPromptHook& hook() {
    static PasswordPromptHook h;
    return h;
}

int& testRounds() {
    static int rounds = 0;
    return rounds;
}

QString storedValue() {
    return GetIniString(kOptionen, kPasswort, QString());
}

// Hashing takes a noticeable moment on a slow computer: the cursor says so.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString withoutAccessKey(QString text) {
    return text.remove(u'&');
}

QLineEdit* passwordBox(QWidget* parent, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password); // dots; any character may be typed
    return box;
}

// The real question: a small modal window with one box or two.
std::optional<PasswordAnswer> showPrompt(const PasswordPromptCall& call, QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmPasswort"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    QLineEdit* first = passwordBox(&dialog, QStringLiteral("txtPasswort"));
    QLineEdit* second = nullptr;
    if (call.kind == PasswordPrompt::Ask) {
        dialog.setWindowTitle(langText(158));
    } else {
        dialog.setWindowTitle(withoutAccessKey(langText(156)));
        auto* text = new QLabel(langText(159), &dialog);
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);
        layout->addWidget(text);
        second = passwordBox(&dialog, QStringLiteral("txtWiederholung"));
    }
    auto* firstLabel = new QLabel(langText(356), &dialog);
    firstLabel->setBuddy(first);
    form->addRow(firstLabel, first);
    if (second) {
        auto* secondLabel = new QLabel(langText(357), &dialog);
        secondLabel->setBuddy(second);
        form->addRow(secondLabel, second);
    }
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    bool remove = false;
    if (call.canRemove) {
        auto* cmdRemove = new QPushButton(langText(353), &dialog);
        cmdRemove->setObjectName(QStringLiteral("cmdEntfernen"));
        cmdRemove->setAutoDefault(false);
        QObject::connect(cmdRemove, &QPushButton::clicked, &dialog, [&] {
            remove = true;
            dialog.accept();
        });
        buttons->addWidget(cmdRemove);
    }
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("&OK"), &dialog);
    auto* cancel = new QPushButton(langText(143), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog.setMinimumWidth(360);
    first->setFocus();

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return PasswordAnswer{first->text(), second ? second->text() : QString(), remove};
}

std::optional<PasswordAnswer> prompt(const PasswordPromptCall& call, QWidget* parent) {
    if (hook())
        return hook()(call);
    return showPrompt(call, parent);
}

// Asks for the password that is stored; true when it was typed right.
bool askStored(const QString& stored, QWidget* parent) {
    const auto answer = prompt({PasswordPrompt::Ask, false}, parent);
    if (!answer)
        return false;
    PasswordCheck check;
    {
        WaitCursor wait;
        check = checkPassword(answer->password, stored);
    }
    if (check == PasswordCheck::Right)
        return true;
    MsgBox(langText(350), MsgButtons::Ok, MsgIcon::Exclamation, parent);
    return false;
}

} // namespace

void setPasswordPromptHook(PasswordPromptHook h) {
    hook() = std::move(h);
}

void setPasswordRoundsForTesting(int rounds) {
    testRounds() = rounds;
}

bool passwordLockOn() {
    return passwordHashReadable(storedValue());
}

bool unlockOptions(QWidget* parent) {
    const QString stored = storedValue();
    if (stored.isEmpty())
        return true;
    if (!passwordHashReadable(stored)) {
        // A damaged value cannot be matched by any password; it must not shut the grown-up
        // out, so it locks nothing until a new password is chosen.
        MsgBox(langText(354), MsgButtons::Ok, MsgIcon::Exclamation, parent);
        return true;
    }
    return askStored(stored, parent);
}

void choosePassword(QWidget* parent) {
    const QString stored = storedValue();
    const bool lockOn = passwordHashReadable(stored);
    if (lockOn && !askStored(stored, parent))
        return;
    for (;;) {
        const auto answer = prompt({PasswordPrompt::Choose, lockOn}, parent);
        if (!answer)
            return;
        if (answer->remove) {
            SaveIni(kOptionen, kPasswort, std::nullopt);
            return;
        }
        if (answer->password != answer->repeated) {
            MsgBox(langText(352), MsgButtons::Ok, MsgIcon::Exclamation, parent);
            continue;
        }
        if (!passwordLongEnough(answer->password)) {
            MsgBox(langText(351), MsgButtons::Ok, MsgIcon::Exclamation, parent);
            continue;
        }
        QString hash;
        {
            WaitCursor wait;
            hash = makePasswordHash(answer->password,
                                    testRounds() > 0 ? testRounds() : kPasswordRounds);
        }
        SaveIni(kOptionen, kPasswort, hash);
        return;
    }
}

} // namespace kalmix
