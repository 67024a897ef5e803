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
    "       kalmix --init-class-server CONNINFO [--class NAME --pupil-role ROLE]\n"
    "              [--teacher-role ROLE]\n"
    "\n"
    "Without options Kalmix starts its window (it takes the options of every Qt program,\n"
    "such as --platform NAME).\n"
    "\n"
    "  --export-csv FILE   write the practice history (the rows of the answers view) to FILE\n"
    "                      as CSV (UTF-8, a header row, commas, RFC 4180 quoting) and exit;\n"
    "                      no window is opened and no display is needed; FILE - writes to\n"
    "                      standard output\n"
    "  --player NAME       with --export-csv: only the answers of this player\n"
    "  --init-class-server CONNINFO\n"
    "                      create or update the class server's tables, views and the roles\n"
    "                      kalmix_pupil and kalmix_teacher in the PostgreSQL database that\n"
    "                      CONNINFO names (a libpq connection string such as\n"
    "                      \"service=kalmix\" or \"host=HOST dbname=DB user=OWNER\"), run as\n"
    "                      the database's owner; running it again changes nothing\n"
    "  --class NAME        with --init-class-server: the class (1 to 40 characters) that\n"
    "                      the roles below belong to\n"
    "  --pupil-role ROLE   with --class: this existing login adds the answers of the class\n"
    "                      (the login the class's computers use)\n"
    "  --teacher-role ROLE with --class: this existing login reads the class\n"
    "  --help              show this text and exit\n"
    "\n"
    "Passwords are never given here: libpq takes them from ~/.pgpass or PGPASSFILE.\n"
    "\n"
    "Exit codes: 0 done, 2 bad arguments, a practice history that cannot be read, a file\n"
    "that cannot be written, or a class server that cannot be set up (the message says why).\n";

// The options of every Qt program, which the window takes, with or without a value. Qt reads
// them with one dash or two.
constexpr const char* kQtOptionsWithValue[] = {"platform",
                                               "platformpluginpath",
                                               "platformtheme",
                                               "plugin",
                                               "qwindowgeometry",
                                               "qwindowicon",
                                               "qwindowtitle",
                                               "session",
                                               "display",
                                               "geometry",
                                               "style",
                                               "stylesheet",
                                               "title",
                                               "name",
                                               "visual",
                                               "ncols",
                                               "cmap",
                                               "fn",
                                               "font",
                                               "bg",
                                               "background",
                                               "fg",
                                               "foreground",
                                               "btn",
                                               "button",
                                               "im",
                                               "inputstyle",
                                               "graphicssystem"};
constexpr const char* kQtOptionsAlone[] = {"reverse", "widgetcount", "nograb",       "dograb",
                                           "sync",    "testability", "qmljsdebugger"};

// How many arguments from argv[i] on are one of Qt's options: 0 when it is none.
int qtOptionLength(int argc, char* argv[], int i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "--", 2) != 0)
        return 0;
    const char* name = arg + 2;
    const char* eq = std::strchr(name, '=');
    const std::size_t length = eq ? std::size_t(eq - name) : std::strlen(name);
    for (const char* option : kQtOptionsWithValue) {
        if (std::strlen(option) == length && std::strncmp(name, option, length) == 0)
            return eq || i + 1 >= argc ? 1 : 2;
    }
    for (const char* option : kQtOptionsAlone) {
        if (std::strlen(option) == length && std::strncmp(name, option, length) == 0)
            return 1;
    }
    return 0;
}

// Whether the command line is one for the options without a window: -h, or any option with
// two dashes that is not one of Qt's. An unknown one is refused here rather than ignored by
// the window.
bool isOurs(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (const int qt = qtOptionLength(argc, argv, i)) {
            i += qt - 1;
            continue;
        }
        if (std::strcmp(argv[i], "-h") == 0 || std::strncmp(argv[i], "--", 2) == 0)
            return true;
    }
    return false;
}

int fail(const QString& message) {
    std::fprintf(stderr, "kalmix: %s\nTry 'kalmix --help'.\n", qPrintable(message));
    return 2;
}

} // namespace

std::optional<int> runCommandLine(int argc, char* argv[],
                                  const ClassServerInitCommand& initClassServer) {
    if (!isOurs(argc, argv))
        return std::nullopt;

    QCoreApplication app(argc, argv);
    // The files are looked for where the program keeps them: an installed Kalmix in the
    // user's data folder, which is named after the program.
    app.setApplicationName(QString::fromLatin1(kProgramTitle));
    // A file that grows past the size limit fails its write instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QStringList args = app.arguments().mid(1);
    std::optional<QString> file, player, server, className, pupilRole, teacherRole;
    const std::pair<const char16_t*, std::optional<QString>*> options[] = {
        {u"--export-csv", &file}, {u"--player", &player},        {u"--init-class-server", &server},
        {u"--class", &className}, {u"--pupil-role", &pupilRole}, {u"--teacher-role", &teacherRole}};
    for (int i = 0; i < args.size(); ++i) {
        if (const int qt = qtOptionLength(argc, argv, i + 1)) {
            i += qt - 1;
            continue;
        }
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
        std::optional<QString>* slot = nullptr;
        for (const auto& [name, target] : options) {
            if (arg == QStringView(name))
                slot = target;
        }
        if (!slot)
            return fail(arg.startsWith(u"--")
                            ? QStringLiteral("unknown option \"%1\".").arg(args[i])
                            : QStringLiteral("unknown argument \"%1\".").arg(args[i]));
        if (!value) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("%1 needs a value.").arg(arg));
            value = args[++i];
        }
        if (*slot)
            return fail(QStringLiteral("%1 is given twice.").arg(arg));
        if (value->isEmpty())
            return fail(QStringLiteral("%1 needs a value.").arg(arg));
        *slot = value;
    }
    if (server) {
        if (file || player)
            return fail(QStringLiteral("--init-class-server does not go with --export-csv."));
        if (className && !pupilRole && !teacherRole)
            return fail(QStringLiteral("--class goes with --pupil-role ROLE or --teacher-role "
                                       "ROLE."));
        if ((pupilRole || teacherRole) && !className)
            return fail(QStringLiteral("--pupil-role and --teacher-role go with --class NAME."));
        if (!initClassServer)
            return fail(QStringLiteral("--init-class-server is not available here."));
        return initClassServer({*server, className.value_or(QString()),
                                pupilRole.value_or(QString()), teacherRole.value_or(QString())});
    }
    if (className || pupilRole || teacherRole)
        return fail(QStringLiteral("--class, --pupil-role and --teacher-role go with "
                                   "--init-class-server CONNINFO."));
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
