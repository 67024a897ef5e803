#include "settings/classservergroup.h"

#include "classserver/classschema.h"
#include "classserver/classsettings.h"
#include "classserver/classupload.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/msgbox.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

namespace kalmix {

namespace {

const QString kOptionen = QStringLiteral("Optionen");
const QString kServerKey = QStringLiteral("Klassenserver");
const QString kClassKey = QStringLiteral("Klasse");

QLabel* note(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setVisible(false);
    return l;
}

} // namespace

ClassServerGroup::ClassServerGroup(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("grpKlassenserver"));
    txtKlassenserver = new QLineEdit(this);
    txtKlassenserver->setObjectName(QStringLiteral("txtKlassenserver"));
    txtKlassenserver->setMaxLength(254); // what the settings file keeps whole
    txtKlasse = new QLineEdit(this);
    txtKlasse->setObjectName(QStringLiteral("txtKlasse"));
    txtKlasse->setMaxLength(40);
    cmdTesten = new QPushButton(this);
    cmdTesten->setObjectName(QStringLiteral("cmdVerbindungTesten"));
    cmdTesten->setAutoDefault(true);
    m_connectionLabel = new QLabel(this);
    m_connectionLabel->setBuddy(txtKlassenserver);
    m_classLabel = new QLabel(this);
    m_classLabel->setBuddy(txtKlasse);
    lblTest = note(this, "lblVerbindungstest");
    lblStatus = note(this, "lblKlassenserverWartend");
    lblFehler = note(this, "lblKlassenserverFehler");

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_connectionLabel, 0, 0);
    grid->addWidget(txtKlassenserver, 0, 1, 1, 2);
    grid->addWidget(m_classLabel, 1, 0);
    grid->addWidget(txtKlasse, 1, 1);
    grid->addWidget(cmdTesten, 1, 2);
    grid->addWidget(lblTest, 2, 0, 1, 3);
    grid->addWidget(lblStatus, 3, 0, 1, 3);
    grid->addWidget(lblFehler, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    connect(cmdTesten, &QPushButton::clicked, this, [this] { testConnection(); });
    // A test says what it found for the text it tested, not for one changed since.
    for (QLineEdit* box : {txtKlassenserver, txtKlasse}) {
        connect(box, &QLineEdit::textEdited, this, [this] {
            lblTest->setVisible(false);
            showStatus();
        });
    }
    load();
}

void ClassServerGroup::load() {
    txtKlassenserver->setText(classServerConnection());
    txtKlasse->setText(classServerClass());
    lblTest->setVisible(false);
    showStatus();
}

void ClassServerGroup::Sprache() {
    setTitle(langText(430));
    m_connectionLabel->setText(langText(431));
    m_classLabel->setText(langText(432));
    cmdTesten->setText(langText(433));
    txtKlassenserver->setPlaceholderText(langText(442));
    txtKlassenserver->setToolTip(langText(442));
    showStatus();
}

bool ClassServerGroup::check() {
    const QString connection = txtKlassenserver->text().trimmed();
    if (connection.isEmpty())
        return true; // no class server: Kalmix keeps the history on this computer only
    int problem = 0;
    switch (checkConnectionText(connection)) {
    case ConnectionText::HasPassword:
        problem = 438;
        break;
    case ConnectionText::Unreadable:
        problem = 440;
        break;
    case ConnectionText::Fine:
        break;
    }
    QLineEdit* box = txtKlassenserver;
    if (!problem && !validClassName(txtKlasse->text().trimmed())) {
        problem = 439;
        box = txtKlasse;
    }
    if (!problem)
        return true;
    MsgBox(langText(problem), MsgButtons::Ok, MsgIcon::Exclamation, window());
    box->setFocus();
    box->selectAll();
    return false;
}

void ClassServerGroup::save() {
    const QString connection = txtKlassenserver->text().trimmed();
    const QString cls = txtKlasse->text().trimmed();
    if (connection != classServerConnection()) {
        // No connection: no key at all, as before there was a class server.
        SaveIni(kOptionen, kServerKey,
                connection.isEmpty() ? std::nullopt : std::optional<QString>(connection));
    }
    if (cls != classServerClass())
        SaveIni(kOptionen, kClassKey, cls.isEmpty() ? std::nullopt : std::optional<QString>(cls));
}

void ClassServerGroup::testConnection() {
    if (m_testing)
        return;
    const QString connection = txtKlassenserver->text().trimmed();
    const QString cls = txtKlasse->text().trimmed();
    lblTest->setVisible(true);
    const ConnectionText text = checkConnectionText(connection);
    if (connection.isEmpty() || text != ConnectionText::Fine) {
        // A password is never sent from here either.
        lblTest->setText(langText(text == ConnectionText::HasPassword ? 438 : 440));
        return;
    }
    m_testing = true;
    cmdTesten->setEnabled(false);
    lblTest->setText(langText(434));
    // The test waits for the server on a thread of its own; the window stays alive meanwhile,
    // and a window closed before the answer comes simply gets none.
    QPointer<ClassServerGroup> self(this);
    QThread* thread = QThread::create([self, connection, cls] {
        const ServerError result = kalmix::testConnection(connection, cls);
        QMetaObject::invokeMethod(qApp, [self, result] {
            if (!self)
                return;
            self->m_testing = false;
            self->cmdTesten->setEnabled(true);
            self->lblTest->setText(result.ok() ? langText(420) : describe(result));
        });
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void ClassServerGroup::watch(ClassUploader* uploader) {
    if (m_watched == uploader)
        return;
    if (m_watched)
        disconnect(m_watched, nullptr, this, nullptr);
    m_watched = uploader;
    if (uploader)
        connect(uploader, &ClassUploader::statusChanged, this, [this] { showStatus(); });
}

void ClassServerGroup::showStatus() {
    ClassUploader* uploader = ClassUpload::running();
    watch(uploader);
    const QString connection = txtKlassenserver->text().trimmed();
    const bool sending = uploader && uploader->target().connection == connection &&
                         uploader->target().className == txtKlasse->text().trimmed();
    QString status;
    QString error;
    if (sending) {
        const qint64 waiting = uploader->waiting();
        if (waiting == 0)
            status = langText(436);
        else if (waiting > 0)
            status = langCount(435, waiting);
        if (const QString last = uploader->lastError(); !last.isEmpty())
            error = langText(437).arg(last);
    } else if (!connection.isEmpty()) {
        // Stored but not sending: this computer's id could not be kept. Not stored yet: OK
        // starts the sending.
        const bool stored = connection == classServerConnection() &&
                            txtKlasse->text().trimmed() == classServerClass();
        status = langText(stored ? 441 : 443);
    }
    lblStatus->setText(status);
    lblStatus->setVisible(!status.isEmpty());
    lblFehler->setText(error);
    lblFehler->setVisible(!error.isEmpty());
}

} // namespace kalmix
