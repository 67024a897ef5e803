// A probe for the end-to-end tests and the benchmarks, loaded into the real kalmix with
// LD_PRELOAD: it writes every text a label gets, every emptying of a line edit (the answer box
// opening) and every window shown (with the monotonic time in nanoseconds) to the file named
// by KALMIX_PROBE, one line each, and then passes the call on. Kalmix itself knows nothing of
// it.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <dlfcn.h>
#include <time.h>

namespace {
void note(const QObject* object, const QString& text) {
    static const QByteArray path = qgetenv("KALMIX_PROBE");
    if (path.isEmpty())
        return;
    QFile f(QString::fromLocal8Bit(path));
    if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QString line = object->objectName() + u'\t' + text;
        line.replace(u'\n', u' ');
        f.write(line.toUtf8() + '\n');
    }
}
} // namespace

void QLabel::setText(const QString& text) {
    using Real = void (*)(QLabel*, const QString&);
    static const Real real =
        reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN6QLabel7setTextERK7QString"));
    note(this, text);
    real(this, text);
}

void QLineEdit::clear() {
    using Real = void (*)(QLineEdit*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN9QLineEdit5clearEv"));
    note(this, QStringLiteral("<cleared>"));
    real(this);
}

void QWidget::show() {
    using Real = void (*)(QWidget*);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN7QWidget4showEv"));
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    note(this, QStringLiteral("<shown %1>").arg(qint64(now.tv_sec) * 1000000000LL + now.tv_nsec));
    real(this);
}
