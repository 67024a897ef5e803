#include "errors/fehlerwart.h"

#include "services/appinfo.h"
#include "services/clock.h"
#include "services/desktop.h"
#include "services/filewrite.h"
#include "services/msgbox.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace kalmix {

namespace {

Fehlerwart::ChoiceHook& choiceHook() {
    static Fehlerwart::ChoiceHook h;
    return h;
}
Fehlerwart::PrintHook& printHook() {
    static Fehlerwart::PrintHook h;
    return h;
}

const QString kCrLf = QStringLiteral("\r\n");

// Design geometry of the dialog, in twips.
constexpr int kFrameWidth = 7215;
constexpr int kCommentHeight = 975;
constexpr int kErrorHeight = 1695;
constexpr int kProgInfoHeight = 615;
constexpr int kProtocolHeight = 855;
constexpr int kCallStackHeight = 975;
constexpr int kContinueHeight = 855;
constexpr int kButtonLeft[4] = {240, 2040, 3840, 5640};
constexpr int kErrRowTop[4] = {240, 960, 1200, 1440};

const QString kTitles[4] = {QStringLiteral("Fehler-Nr / error :"), QStringLiteral("Modul:"),
                            QStringLiteral("Prozedur / procedure:"),
                            QStringLiteral("Zeile / Line:")};
const QString kProtocolCaptions[4] = {QStringLiteral("&Drucken/Print"),
                                      QStringLiteral("&Speichern/Save"), QStringLiteral("&EMail"),
                                      QStringLiteral("&WWW")};
const QString kContinueCaptions[4] = {
    QStringLiteral("Wieder&holen Retry"), QStringLiteral("&Ignorieren   Ignore"),
    QStringLiteral("&Abbrechen Cancel"), QStringLiteral("&Beenden       End")};

// How much the design must grow so that the captions fit in this font: the design assumed
// a narrow 8-point font, and wider fonts would cut the button captions off.
double captionScale(const QFontMetrics& fm) {
    double scale = 1.0;
    auto need = [&](const QString& caption, int twips, int padding) {
        QString text = caption;
        text.remove(u'&');
        const double room = px(twips) - padding;
        scale = std::max(scale, (fm.horizontalAdvance(text) + 0.0) / room);
    };
    for (int i = 0; i < 4; ++i) {
        need(kProtocolCaptions[i], 1335, 12);
        need(kContinueCaptions[i], 1335, 12);
        need(kTitles[i], 1800, 6);
    }
    return scale;
}

} // namespace

Fehlerwart& Fehlerwart::instance() {
    // Created on first use, lives until the program ends.
    static Fehlerwart* dialog = new Fehlerwart;
    return *dialog;
}

void Fehlerwart::install() {
    setErrorReporter([](const QString& module, const QString& procedure) {
        return instance().OnError(module, procedure);
    });
}

void Fehlerwart::setChoiceHook(ChoiceHook hook) {
    choiceHook() = std::move(hook);
}
void Fehlerwart::setPrintHook(PrintHook hook) {
    printHook() = std::move(hook);
}

int Fehlerwart::px(int twips) const {
    return static_cast<int>(std::lround(twips * m_scale / twipsPerPixel()));
}

void Fehlerwart::place(QWidget* w, int left, int top, int width, int height) const {
    w->setGeometry(px(left), px(top), px(width), px(height));
}

QLabel* Fehlerwart::label(QWidget* parent, const QString& text, int left, int top, int width,
                          int height) const {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(l, left, top, width, height);
    return l;
}

Fehlerwart::Fehlerwart() : QDialog(nullptr) {
    setObjectName(QStringLiteral("Fehlerwart"));
    setWindowTitle(QStringLiteral("Fehler / Error! "));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont f = font();
    f.setPointSizeF(8);
    setFont(f);
    m_scale = captionScale(QFontMetrics(f));
    // Frames with their caption on the border line, inset from the dialog's edges.
    // (A style sheet decides the fonts of the widgets under it, so it names the size too.)
    setStyleSheet(QStringLiteral(
        "* { font-size: 8pt; }"
        "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin: 7px 4px 2px 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 10px; padding: 0px 3px; }"));

    framComment = new QFrame(this);
    framComment->setObjectName(QStringLiteral("framComment"));
    framComment->setFrameShape(QFrame::NoFrame);
    lblComment = label(framComment, {}, 120, 240, 6855, 615);
    lblComment->setObjectName(QStringLiteral("lblComment"));
    lblComment->setWordWrap(true);

    framFehler = new QGroupBox(QStringLiteral("Fehlerbeschreibung / error description:"), this);
    framFehler->setObjectName(QStringLiteral("framFehler"));
    for (int i = 0; i < 4; ++i) {
        lblErrTitel[i] = label(framFehler, kTitles[i], 120, kErrRowTop[i], 1800, 240);
        lblErrTitel[i]->setObjectName(QStringLiteral("lblErrTitel_%1").arg(i));
        lblError[i] = label(framFehler, {}, 1920, kErrRowTop[i], 5205, i == 0 ? 675 : 240);
        lblError[i]->setObjectName(QStringLiteral("lblError_%1").arg(i));
        lblError[i]->setTextFormat(Qt::PlainText);
    }
    lblError[0]->setWordWrap(true);

    framProgInfo = new QGroupBox(QStringLiteral("Programm-Info:"), this);
    framProgInfo->setObjectName(QStringLiteral("framProgInfo"));
    lblProgInfo = label(framProgInfo, {}, 120, 240, 6975, 240);
    lblProgInfo->setObjectName(QStringLiteral("lblProgInfo"));
    lblProgInfo->setTextFormat(Qt::PlainText);

    framProtocol = new QGroupBox(QStringLiteral("Fehlerprotokoll ... / error protocoll..."), this);
    framProtocol->setObjectName(QStringLiteral("framProtocol"));
    framCallStack = new QGroupBox(QStringLiteral("CallStack:"), this);
    framCallStack->setObjectName(QStringLiteral("framCallStack"));
    lstCallStack = new QListWidget(framCallStack);
    lstCallStack->setObjectName(QStringLiteral("lstCallStack"));
    place(lstCallStack, 120, 240, 6975, 615);

    framContinue = new QGroupBox(QStringLiteral("Weiterer Programmablauf... / Continue..."), this);
    framContinue->setObjectName(QStringLiteral("framContinue"));
    for (int i = 0; i < 4; ++i) {
        cmdProtocol[i] = new QPushButton(kProtocolCaptions[i], framProtocol);
        cmdProtocol[i]->setObjectName(QStringLiteral("cmdProtocol_%1").arg(i));
        place(cmdProtocol[i], kButtonLeft[i], 240, 1335, 495);
        cmdProtocol[i]->setAutoDefault(false);
        connect(cmdProtocol[i], &QPushButton::clicked, this, [this, i] { cmdProtocol_Click(i); });

        cmdContinue[i] = new QPushButton(kContinueCaptions[i], framContinue);
        cmdContinue[i]->setObjectName(QStringLiteral("cmdContinue_%1").arg(i));
        place(cmdContinue[i], kButtonLeft[i], 240, 1335, 495);
        cmdContinue[i]->setAutoDefault(false);
        connect(cmdContinue[i], &QPushButton::clicked, this, [this, i] { cmdContinue_Click(i); });
    }
}

void Fehlerwart::SetProgInfo(const QString& text) {
    lblProgInfo->setText(text);
}

void Fehlerwart::CallStack(const QString& entry) {
    lstCallStack->insertItem(0, entry + u' ' +
                                    clock().now().time().toString(QStringLiteral("HH:mm:ss")));
    while (lstCallStack->count() > 20)
        delete lstCallStack->takeItem(lstCallStack->count() - 1);
}

void Fehlerwart::LayoutDialog() {
    int top = 0;
    auto stack = [this, &top](QWidget* frame, int height) {
        frame->setVisible(true);
        place(frame, 0, top, kFrameWidth, height);
        top += height;
    };
    stack(framComment, kCommentHeight);
    lblComment->setText(
        QStringLiteral("There is a problem. Please contact the author if this problem appears "
                       "again.") +
        kCrLf +
        QStringLiteral("Es liegt ein Problem vor, mit dem Sie sich an den technischen Support "
                       "wenden sollten, falls es wiederholt auftritt."));
    stack(framFehler, kErrorHeight);
    stack(framProgInfo, kProgInfoHeight);
    stack(framProtocol, kProtocolHeight);
    for (QPushButton* b : cmdProtocol)
        b->setVisible(true);
    // The call stack appears only in the protocol text, never in the dialog.
    framCallStack->setVisible(false);
    place(framCallStack, 0, top, kFrameWidth, kCallStackHeight);
    stack(framContinue, kContinueHeight);
    for (QPushButton* b : cmdContinue)
        b->setVisible(true);

    setFixedSize(px(kFrameWidth), px(top));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        const QSize outer = frameGeometry().size().expandedTo(size());
        move(area.x() + (area.width() - outer.width()) / 2,
             area.y() + (area.height() - outer.height()) / 2);
    }
}

std::int16_t Fehlerwart::OnError(const QString& module, const QString& procedure) {
    const ErrContext err = Err();
    const QString values[4] = {QString::number(err.number) + QStringLiteral(" (") +
                                   err.description + u')',
                               module, procedure, QString::number(err.line)};
    if (isVisible()) {
        // An error raised while the dialog already waits for an answer: the dialog keeps
        // showing the error its buttons will act on, the log still gets the new one, and the
        // procedure that raised it is left.
        appendToLog(protocolData(values));
        QApplication::beep();
        return ActionLeave;
    }
    for (int i = 0; i < 4; ++i)
        lblError[i]->setText(values[i]);
    if (lblProgInfo->text().isEmpty()) {
        lblProgInfo->setText(
            QLatin1String(kProgramTitle) + QStringLiteral("  V") + QString::number(versionMajor()) +
            u'.' + QString::number(versionMinor()) + u'.' + QString::number(versionRevision()));
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    LayoutDialog();
    // A log that cannot be written must not take the choice away from the user.
    AppendProtocolFile();
    QApplication::beep();

    if (choiceHook()) {
        show();
        choiceHook()(*this);
        hide();
    } else {
        exec();
    }
    return m_action;
}

void Fehlerwart::cmdContinue_Click(int index) {
    m_action = static_cast<std::int16_t>(index);
    hide();
}

ProtocolData Fehlerwart::protocolData(const QString (&values)[4]) const {
    ProtocolData d;
    d.progInfoCaption = framProgInfo->title();
    d.progInfo = lblProgInfo->text();
    d.errorCaption = framFehler->title();
    for (int i = 0; i < 4; ++i) {
        d.errTitles[i] = lblErrTitel[i]->text();
        d.errValues[i] = values[i];
    }
    d.when = clock().now();
    d.callStackCaption = framCallStack->title();
    for (int i = 0; i < lstCallStack->count(); ++i)
        d.callStack.append(lstCallStack->item(i)->text());
    d.system = currentSystemInfo();
    return d;
}

QString Fehlerwart::BuildProtocol() const {
    const QString shown[4] = {lblError[0]->text(), lblError[1]->text(), lblError[2]->text(),
                              lblError[3]->text()};
    return buildProtocolText(protocolData(shown));
}

// The error files are named after the program, whatever the executable file is called.
QString Fehlerwart::errorLogPath() {
    return withSeparator(programDir()) + QLatin1String(kProgramTitle) + QStringLiteral(".EPT");
}

QString Fehlerwart::savedProtocolPath() {
    return withSeparator(programDir()) + QLatin1String(kProgramTitle) + QStringLiteral(".ERR");
}

bool Fehlerwart::AppendProtocolFile() const {
    const QString shown[4] = {lblError[0]->text(), lblError[1]->text(), lblError[2]->text(),
                              lblError[3]->text()};
    return appendToLog(protocolData(shown));
}

bool Fehlerwart::appendToLog(const ProtocolData& data) const {
    const QByteArray bytes = (buildProtocolText(data) + kCrLf).toUtf8();
    QFile f(errorLogPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    // Whole or not at all: a full disk never leaves half a protocol in the log.
    return appendWhole(f.handle(), bytes);
}

void Fehlerwart::printProtocol(const QStringList& lines) {
    if (printHook()) {
        printHook()(lines);
        return;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        MsgBox(QStringLiteral("Es ist kein Drucker eingerichtet. Das Fehlerprotokoll kann nicht "
                              "gedruckt werden.") +
                   kCrLf +
                   QStringLiteral("No printer is set up. The error protocol cannot be printed."),
               MsgButtons::Ok, MsgIcon::Exclamation, this);
        return;
    }
    QPrinter printer(info);
    printer.setDocName(QStringLiteral("Fehlerprotokoll"));
    QPainter painter;
    if (!painter.begin(&printer)) {
        MsgBox(QStringLiteral("Der Drucker ist nicht bereit.") + kCrLf +
                   QStringLiteral("The printer is not ready."),
               MsgButtons::Ok, MsgIcon::Exclamation, this);
        return;
    }
    QFont mono(QStringLiteral("Monospace"), 9);
    mono.setStyleHint(QFont::TypeWriter);
    painter.setFont(mono);
    const int lineHeight = painter.fontMetrics().lineSpacing();
    const int pageHeight = painter.viewport().height();
    int y = lineHeight;
    for (const QString& l : lines) {
        if (y > pageHeight) {
            printer.newPage();
            y = lineHeight;
        }
        QString expanded = l;
        expanded.replace(u'\t', QStringLiteral("    "));
        painter.drawText(0, y, expanded);
        y += lineHeight;
    }
    painter.end();
}

void Fehlerwart::cmdProtocol_Click(int index) {
    const QString protocol = BuildProtocol();
    switch (index) {
    case 0:
        printProtocol(printLines(protocol));
        break;
    case 1: {
        const QString file = savedProtocolPath();
        if (QFile::exists(file) &&
            MsgBox(QStringLiteral("Vorhandene Datei '") + file +
                       QStringLiteral("' überschreiben ?"),
                   MsgButtons::YesNo, MsgIcon::Question, this) != MsgResult::Yes)
            return;
        const bool ok = writeFileAtomically(file, (protocol + kCrLf).toUtf8());
        if (!ok) {
            MsgBox(QStringLiteral("Das Fehlerprotokoll konnte nicht in die Datei '") + file +
                       QStringLiteral("' geschrieben werden !"),
                   MsgButtons::Ok, MsgIcon::Exclamation, this);
            return;
        }
        MsgBox(QStringLiteral("Das Fehlerprotokoll wurde in die Datei '") + file +
                   QStringLiteral("' geschrieben !"),
               MsgButtons::Ok, MsgIcon::Information, this);
        break;
    }
    case 2:
        MsgBox(QStringLiteral("Es wird jetzt Ihr Standard-Email-Programm aufgerufen. Die "
                              "Fehlerbeschreibung sowie das Fehlerprotokoll") +
                   kCrLf +
                   QStringLiteral("wurden zu Ihrer Bequemlichkeit in die Zwischenablage "
                                  "kopiert.") +
                   kCrLf + kCrLf +
                   QStringLiteral("Bitte fügen Sie den Inhalt der Zwischenablage in Ihre Email "
                                  "ein, indem Sie in Ihrem Email-Programm") +
                   kCrLf +
                   QStringLiteral("die Tasten [Strg] und [Einfg] gleichzeitig betätigen. "
                                  "Alternativ können Sie den Inhalt in die EMail") +
                   kCrLf +
                   QStringLiteral("einfügen, indem Sie den Befehl 'Einfügen' aus dem Menü "
                                  "'Bearbeiten' ausführen."),
               MsgButtons::Ok, MsgIcon::Information, this);
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(protocol);
        ShellOpen(QUrl(QStringLiteral("mailto:") + supportEmail().trimmed()));
        break;
    case 3:
        QGuiApplication::clipboard()->clear();
        QGuiApplication::clipboard()->setText(protocol);
        ShellOpen(QUrl(homePage()));
        break;
    default:
        break;
    }
}

} // namespace kalmix
