#include "classserver/classschema.h"

#include <QStringList>

namespace kalmix {

namespace {

// The advisory lock every run of the migrations takes (in the database it migrates).
constexpr qint64 kMigrationLock = 0x4b616c6d6978; // "Kalmix"

// Which classes the login may see or write: its own memberships.
#define KALMIX_OWN_CLASSES                                                                         \
    "class IN (SELECT m.class FROM kalmix.class_member m WHERE m.member = current_user)"

// The answers with their rounds' start and kind, in the computer's view's columns, up to the
// condition that joins an answer to its round.
const char kAnswersView[] = R"(
CREATE OR REPLACE VIEW kalmix.answers WITH (security_invoker = true) AS SELECT
    x.player AS player,
    to_char(r.started AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS') AS round_started,
    to_char(x.at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS') AS answered_at,
    r.kind::int AS kind,
    CASE x.op WHEN 0 THEN 'count' WHEN 1 THEN 'symbols' WHEN 2 THEN '+' WHEN 3 THEN '-'
              WHEN 4 THEN '*' WHEN 5 THEN '/' END AS operation,
    x.a AS a, x.b AS b, x.expected AS expected, x.given AS answer,
    CASE x.outcome WHEN 0 THEN 'right' WHEN 1 THEN 'wrong' WHEN 2 THEN 'help' END AS outcome,
    (x.ms / 1000.0)::double precision AS seconds, x.attempt AS attempt,
    x.tricky::int AS tricky, x.class AS class, x.machine AS machine
    FROM kalmix.answer x JOIN kalmix.round r ON )";

// Each step brings the schema from version n - 1 to n. Tables, views, grants and policies
// are made together, so a version is whole or not there at all.
const QStringList& steps() {
    static const QStringList all = {
        QStringLiteral(R"(
CREATE SCHEMA IF NOT EXISTS kalmix;
CREATE TABLE kalmix.schema_version(version int NOT NULL);
CREATE TABLE kalmix.class_member(
    class text NOT NULL, member name NOT NULL, PRIMARY KEY (class, member));
CREATE TABLE kalmix.round(
    class text NOT NULL, machine text NOT NULL, uid bigint NOT NULL, player text NOT NULL,
    started timestamptz NOT NULL, ended timestamptz, kind smallint NOT NULL,
    solved int NOT NULL DEFAULT 0, wrong int NOT NULL DEFAULT 0, helped int NOT NULL DEFAULT 0,
    seconds int, finished boolean NOT NULL DEFAULT false, tasks int NOT NULL DEFAULT 0,
    first_right int NOT NULL DEFAULT 0,
    PRIMARY KEY (machine, uid));
CREATE TABLE kalmix.answer(
    class text NOT NULL, machine text NOT NULL, round_uid bigint NOT NULL, seq int NOT NULL,
    player text NOT NULL, at timestamptz NOT NULL, op smallint NOT NULL, a int NOT NULL, b int,
    expected int NOT NULL, given int, outcome smallint NOT NULL, ms int NOT NULL,
    attempt int NOT NULL, tricky boolean NOT NULL DEFAULT false,
    PRIMARY KEY (machine, round_uid, seq));
CREATE INDEX answer_by_class_player ON kalmix.answer(class, player, at);
CREATE INDEX answer_by_class_time ON kalmix.answer(class, at);
CREATE INDEX round_by_class_player ON kalmix.round(class, player, started);

)") + QLatin1String(kAnswersView) +
            QStringLiteral(R"(r.machine = x.machine AND r.uid = x.round_uid;
CREATE VIEW kalmix.rounds WITH (security_invoker = true) AS SELECT
    r.player AS player,
    to_char(r.started AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS') AS started,
    to_char(r.ended AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS') AS ended,
    r.kind::int AS kind, r.solved AS solved, r.wrong AS wrong, r.helped AS helped,
    r.seconds AS seconds, r.finished::int AS finished, r.class AS class, r.machine AS machine
    FROM kalmix.round r;

GRANT USAGE ON SCHEMA kalmix TO kalmix_pupil, kalmix_teacher;
GRANT SELECT ON kalmix.schema_version, kalmix.class_member, kalmix.round, kalmix.answer,
    kalmix.answers, kalmix.rounds TO kalmix_pupil, kalmix_teacher;
GRANT INSERT ON kalmix.round TO kalmix_pupil;
GRANT UPDATE (ended, solved, wrong, helped, seconds, finished, tasks, first_right)
    ON kalmix.round TO kalmix_pupil;
GRANT INSERT ON kalmix.answer TO kalmix_pupil;

ALTER TABLE kalmix.class_member ENABLE ROW LEVEL SECURITY;
CREATE POLICY own_membership ON kalmix.class_member FOR SELECT USING (member = current_user);
ALTER TABLE kalmix.round ENABLE ROW LEVEL SECURITY;
CREATE POLICY read_own_classes ON kalmix.round FOR SELECT TO kalmix_pupil, kalmix_teacher
    USING ()" KALMIX_OWN_CLASSES R"();
CREATE POLICY add_to_own_classes ON kalmix.round FOR INSERT TO kalmix_pupil
    WITH CHECK ()" KALMIX_OWN_CLASSES R"();
CREATE POLICY end_rounds_of_own_classes ON kalmix.round FOR UPDATE TO kalmix_pupil
    USING ()" KALMIX_OWN_CLASSES R"() WITH CHECK ()" KALMIX_OWN_CLASSES R"();
ALTER TABLE kalmix.answer ENABLE ROW LEVEL SECURITY;
CREATE POLICY read_own_classes ON kalmix.answer FOR SELECT TO kalmix_pupil, kalmix_teacher
    USING ()" KALMIX_OWN_CLASSES R"();
CREATE POLICY add_to_own_classes ON kalmix.answer FOR INSERT TO kalmix_pupil
    WITH CHECK ()" KALMIX_OWN_CLASSES R"();
)"),
        // When each row reached the server: shows an operator which computers lag behind, and
        // lets a reader fetch what is new since a moment.
        QStringLiteral(R"(
ALTER TABLE kalmix.round ADD COLUMN received timestamptz NOT NULL DEFAULT now();
ALTER TABLE kalmix.answer ADD COLUMN received timestamptz NOT NULL DEFAULT now();
CREATE INDEX answer_by_class_received ON kalmix.answer(class, received);
)"),
        // A round is known in its class by the id drawn when it was first written, whichever
        // computer sends it: a history added from another computer and sent from both is there
        // once. Rows already sent twice are folded: a round keeps what either copy knew, an
        // answer the copy that arrived first.
        QStringLiteral(R"(
CREATE TEMP TABLE folded ON COMMIT DROP AS SELECT class, uid, max(ended) AS ended,
    max(solved) AS solved, max(wrong) AS wrong, max(helped) AS helped, max(seconds) AS seconds,
    bool_or(finished) AS finished, max(tasks) AS tasks, max(first_right) AS first_right
    FROM kalmix.round GROUP BY class, uid HAVING count(*) > 1;
DELETE FROM kalmix.round WHERE ctid IN (SELECT ctid FROM (SELECT ctid, row_number() OVER (
    PARTITION BY class, uid ORDER BY received, machine) AS n FROM kalmix.round) d WHERE n > 1);
UPDATE kalmix.round r SET ended = f.ended, solved = f.solved, wrong = f.wrong,
    helped = f.helped, seconds = f.seconds, finished = f.finished, tasks = f.tasks,
    first_right = f.first_right FROM folded f WHERE r.class = f.class AND r.uid = f.uid;
DELETE FROM kalmix.answer WHERE ctid IN (SELECT ctid FROM (SELECT ctid, row_number() OVER (
    PARTITION BY class, round_uid, seq ORDER BY received, machine) AS n FROM kalmix.answer) d
    WHERE n > 1);
ALTER TABLE kalmix.round DROP CONSTRAINT round_pkey, ADD PRIMARY KEY (class, uid);
ALTER TABLE kalmix.answer DROP CONSTRAINT answer_pkey, ADD PRIMARY KEY (class, round_uid, seq);
)") + QLatin1String(kAnswersView) +
            QStringLiteral("r.class = x.class AND r.uid = x.round_uid;"),
    };
    return all;
}

#undef KALMIX_OWN_CLASSES

// The group roles are the cluster's, shared by all its databases; a run in another database
// (or at the same moment) may have made them already.
const char kRoles[] = R"(
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kalmix_pupil') THEN
        BEGIN CREATE ROLE kalmix_pupil NOLOGIN; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kalmix_teacher') THEN
        BEGIN CREATE ROLE kalmix_teacher NOLOGIN; EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END;
    END IF;
END $$)";

QString identifier(const QString& name) {
    QString n = name;
    return u'"' + n.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString detailOf(const ServerError& e) {
    if (e.problem == ServerProblem::Other || e.message.isEmpty())
        return describe(e);
    return describe(e) + QStringLiteral(" (") + e.message + u')';
}

} // namespace

bool validClassName(const QString& name) {
    return name == name.trimmed() && !name.isEmpty() && name.size() <= 40;
}

ServerError classSchemaVersion(PgConnection& c, int* version) {
    *version = 0;
    PgResult r;
    ServerError e =
        c.exec(QStringLiteral("SELECT to_regclass('kalmix.schema_version') IS NOT NULL"), {}, &r);
    if (!e.ok())
        return e;
    if (r.value(0, 0) != u"t")
        return {};
    e = c.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM kalmix.schema_version"), {},
               &r);
    if (e.ok())
        *version = int(r.number(0, 0));
    return e;
}

ServerError migrateClassSchema(PgConnection& c, int target, int* from) {
    ServerError e = c.exec(QStringLiteral("SELECT pg_advisory_lock($1)"), {kMigrationLock});
    if (!e.ok())
        return e;
    int version = 0;
    e = c.exec(QString::fromLatin1(kRoles));
    if (e.ok())
        e = classSchemaVersion(c, &version);
    if (from)
        *from = version;
    if (e.ok() && version > kClassSchemaVersion) {
        e = ServerError::of(ServerProblem::ServerTooNew);
        e.number = version;
    }
    for (int step = version + 1; e.ok() && step <= std::min(target, kClassSchemaVersion); ++step) {
        e = c.begin();
        if (e.ok())
            e = c.exec(steps()[step - 1]);
        if (e.ok())
            e = c.exec(QStringLiteral("DELETE FROM kalmix.schema_version; "
                                      "INSERT INTO kalmix.schema_version VALUES (%1)")
                           .arg(step));
        if (e.ok())
            e = c.commit();
        if (!e.ok())
            c.rollback();
    }
    if (c.isOpen())
        c.exec(QStringLiteral("SELECT pg_advisory_unlock($1)"), {kMigrationLock});
    return e;
}

ServerError addClassMember(PgConnection& c, const QString& className, const QString& role,
                           MemberKind kind) {
    PgResult r;
    ServerError e =
        c.exec(QStringLiteral("SELECT rolcanlogin FROM pg_roles WHERE rolname = $1"), {role}, &r);
    if (!e.ok())
        return e;
    if (r.rows() == 0)
        return ServerError::of(ServerProblem::Other,
                               QStringLiteral("the login role \"%1\" does not exist; create it "
                                              "first (CREATE ROLE ... LOGIN PASSWORD ...)")
                                   .arg(role));
    const QString group = kind == MemberKind::Pupil ? QStringLiteral("kalmix_pupil")
                                                    : QStringLiteral("kalmix_teacher");
    const QString other = kind == MemberKind::Pupil ? QStringLiteral("kalmix_teacher")
                                                    : QStringLiteral("kalmix_pupil");
    e = c.exec(QStringLiteral("SELECT pg_has_role($1, $2, 'MEMBER')"), {role, other}, &r);
    if (e.ok() && r.value(0, 0) == u"t")
        return ServerError::of(ServerProblem::Other,
                               QStringLiteral("the login role \"%1\" is already in %2; a login "
                                              "is either a pupils' or a teacher's login")
                                   .arg(role, other));
    if (e.ok())
        e = c.begin();
    if (e.ok())
        e = c.exec(QStringLiteral("GRANT %1 TO %2").arg(group, identifier(role)));
    if (e.ok())
        e = c.exec(QStringLiteral("INSERT INTO kalmix.class_member(class, member) VALUES ($1, $2) "
                                  "ON CONFLICT DO NOTHING"),
                   {className, role});
    if (e.ok())
        e = c.commit();
    if (!e.ok())
        c.rollback();
    return e;
}

QString initClassServer(const ClassServerInit& init, QString* done) {
    const bool members = !init.pupilRole.isEmpty() || !init.teacherRole.isEmpty();
    if (members && !validClassName(init.className))
        return QStringLiteral("the class name must be 1 to 40 characters without spaces at its "
                              "ends.");
    PgConnection c;
    ServerError e = c.open(init.conninfo, 15);
    if (!e.ok())
        return detailOf(e);
    c.setStatementTimeout(300000); // a large table may take its time to migrate
    int from = 0;
    e = migrateClassSchema(c, kClassSchemaVersion, &from);
    if (!e.ok()) {
        if (e.problem == ServerProblem::NotAllowed)
            return QStringLiteral("the login \"%1\" may not create the schema or the roles: run "
                                  "this as the database's owner; the roles kalmix_pupil and "
                                  "kalmix_teacher need CREATEROLE once, or a superuser makes "
                                  "them (CREATE ROLE kalmix_pupil NOLOGIN; CREATE ROLE "
                                  "kalmix_teacher NOLOGIN). The server says: %2")
                .arg(c.user().isEmpty() ? e.user : c.user(), e.message);
        return detailOf(e);
    }
    QStringList report;
    report << (from == kClassSchemaVersion
                   ? QStringLiteral("The class server's schema is up to date (version %1).")
                         .arg(kClassSchemaVersion)
                   : QStringLiteral("The class server's schema went from version %1 to %2.")
                         .arg(from)
                         .arg(kClassSchemaVersion));
    for (const auto& [role, kind] : {std::pair{init.pupilRole, MemberKind::Pupil},
                                     std::pair{init.teacherRole, MemberKind::Teacher}}) {
        if (role.isEmpty())
            continue;
        e = addClassMember(c, init.className, role, kind);
        if (e.problem == ServerProblem::NotAllowed)
            return QStringLiteral("the login \"%1\" may not add \"%2\" to %3: run this as a "
                                  "login with CREATEROLE (or with ADMIN OPTION on %3). The "
                                  "server says: %4")
                .arg(c.user(), role,
                     kind == MemberKind::Pupil ? QStringLiteral("kalmix_pupil")
                                               : QStringLiteral("kalmix_teacher"),
                     e.message);
        if (!e.ok())
            return e.problem == ServerProblem::Other ? e.message : detailOf(e);
        report << QStringLiteral("The login \"%1\" %2 class %3.")
                      .arg(role,
                           kind == MemberKind::Pupil ? QStringLiteral("adds the answers of")
                                                     : QStringLiteral("reads"),
                           init.className);
    }
    if (done)
        *done = report.join(u'\n');
    return {};
}

ServerError checkClassSchema(PgConnection& c) {
    int version = 0;
    ServerError e = classSchemaVersion(c, &version);
    if (e.ok() && version == 0)
        e = ServerError::of(ServerProblem::SchemaMissing);
    if (e.ok() && version > kClassSchemaVersion) {
        e = ServerError::of(ServerProblem::ServerTooNew);
        e.number = version;
    }
    return e;
}

ServerError testConnection(const QString& conninfo, const QString& className, int timeoutSeconds) {
    PgConnection c;
    ServerError e = c.open(conninfo, timeoutSeconds);
    const auto told = [&](ServerError error) {
        error.className = className;
        if (error.user.isEmpty())
            error.user = c.user();
        c.close();
        return error;
    };
    if (!e.ok())
        return told(e);
    c.setStatementTimeout(std::max(1, timeoutSeconds) * 1000);
    e = checkClassSchema(c);
    if (!e.ok())
        return told(e);
    if (!className.isEmpty()) {
        // The row the uploader would write, tried and taken back.
        e = c.begin();
        if (e.ok())
            e = c.exec(QStringLiteral("INSERT INTO kalmix.round(class, machine, uid, player, "
                                      "started, kind) VALUES ($1, 'connection test', 0, '', "
                                      "now(), 0)"),
                       {className});
        const bool taken = e.sqlState == u"23505"; // such a row is there: writing is allowed
        c.rollback();
        // A teacher's login adds nothing and is meant to: reading its class is what it is for.
        if (!e.ok() && !taken && e.problem == ServerProblem::NotAllowed) {
            PgResult member;
            const ServerError asked = c.exec(
                QStringLiteral("SELECT pg_has_role(current_user, 'kalmix_teacher', 'MEMBER') AND "
                               "EXISTS (SELECT 1 FROM kalmix.class_member "
                               "WHERE class = $1 AND member = current_user)"),
                {className}, &member);
            if (asked.ok() && member.rows() == 1 && member.value(0, 0) == u"t")
                e = ServerError{};
        }
        if (!e.ok() && !taken)
            return told(e);
    }
    e.problem = ServerProblem::None;
    e.sqlState.clear();
    e.message.clear();
    return told(e);
}

} // namespace kalmix
