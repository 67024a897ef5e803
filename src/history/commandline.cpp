#include "history/commandline.h"

#include "history/historystore.h"
#include "history/ownfiles.h"
#include "services/appinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace kalmix {

namespace {

constexpr char kUsage[] =
    "Usage: kalmix [--export-csv FILE [--player NAME]] [--help]\n"
    "\n"
    "Without options Kalmix starts its window.\n"
    "\n"
    "  --export-csv FILE   write the practice history (the rows of the answers view) to FILE\n"
    "                      as CSV (UTF-8, a header row, commas, RFC 4180 quoting) and exit;\n"
    "                      no window is opened and no display is needed; FILE - writes to\n"
    "                      standard output\n"
    "  --player NAME       with --export-csv: only the answers of this player\n"
    "  --help              show this text and exit\n"
    "\n"
    "Exit codes: 0 done, 2 bad arguments, a practice history that cannot be read or a file\n"
    "that cannot be written.\n";

bool isOurs(const char* arg) {
    for (const char* option : {"--help", "-h", "--export-csv", "--player"}) {
        if (std::strcmp(arg, option) == 0 || (std::strncmp(arg, option, std::strlen(option)) == 0 &&
                                              arg[std::strlen(option)] == '='))
            return true;
    }
    return false;
}

int fail(const QString& message) {
    std::fprintf(stderr, "kalmix: %s\nTry 'kalmix --help'.\n", qPrintable(message));
    return 2;
}

} // namespace

std::optional<int> runCommandLine(int argc, char* argv[]) {
    bool ours = false;
    for (int i = 1; i < argc; ++i)
        ours = ours || isOurs(argv[i]);
    if (!ours)
        return std::nullopt;

    QCoreApplication app(argc, argv);
    // The files are looked for where the program keeps them: an installed Kalmix in the
    // user's data folder, which is named after the program.
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    // A file that grows past the size limit fails its write instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList args = app.arguments().mid(1);
    std::optional<QString> file, player;
    for (int i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        std::optional<QString> value;
        if (const qsizetype eq = arg.indexOf(u'='); arg.startsWith(u"--") && eq > 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
        }
        if (arg == u"--help" || arg == u"-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != u"--export-csv" && arg != u"--player")
            return fail(QStringLiteral("unknown argument \"%1\".").arg(args[i]));
        if (!value) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value.").arg(arg));
            value = args[++i];
        }
        std::optional<QString>& slot = arg == u"--export-csv" ? file : player;
        if (slot)
            return fail(QStringLiteral("%1 is given twice.").arg(arg));
        if (value->isEmpty())
            return fail(QStringLiteral("%1 needs a value.").arg(arg));
        slot = value;
    }
    if (!file)
        return fail(QStringLiteral("--player goes with --export-csv FILE."));

    const bool toOutput = *file == u"-";
    if (!toOutput) {
        switch (checkExportTarget(*file)) {
        case ExportTarget::Free:
            break;
        case ExportTarget::OwnFile:
            return fail(QStringLiteral("%1 is one of Kalmix's own files; it is not replaced by "
                                       "an export.")
                            .arg(QDir::toNativeSeparators(*file)));
        case ExportTarget::NotAFile:
            return fail(QStringLiteral("%1 is not a regular file (a folder, a device or a pipe); "
                                       "it is not replaced by an export.")
                            .arg(QDir::toNativeSeparators(*file)));
        }
    }

    HistoryStore store;
    store.setQuiet(true);
    QString error;
    if (!store.openExisting(&error))
        return fail(error);
    if (toOutput) {
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            !store.writeCsv(out, player.value_or(QString()), &error))
            return fail(QStringLiteral("The standard output cannot be written: %1").arg(error));
        return 0;
    }
    if (!store.exportCsv(*file, player.value_or(QString()), &error))
        return fail(
            QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(*file), error));
    return 0;
}

} // namespace kalmix
