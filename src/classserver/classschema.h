#pragma once

// The class server's tables, views and roles (schema `kalmix` in the school's database).
//
// kalmix.round and kalmix.answer hold the rows of every computer of every class, keyed by the
// class and the round's id (drawn at random when the round was first written, and kept when a
// history is added to another computer's), so a batch sent twice, or a round sent by two
// computers, adds nothing. `machine` is the computer that sent the row first. started, ended
// and at hold the computer's wall-clock time as its history keeps it (no time zone), written
// as if it were UTC; the views show it as the computer's views do.
//
// The views kalmix.answers and kalmix.rounds have the columns of the computer's views of the
// same names, in the same order with the same meanings and codes, and then `class` and
// `machine`. They apply the row-level security of the login that reads them.
//
// Roles: kalmix_pupil (the computers' logins: add answers and rounds of their classes, end
// their rounds, read their classes; never delete, never change an answer, never see another
// class; of a round only ended, solved, wrong, helped, seconds, finished, tasks and
// first_right may change, so an upsert sets only these) and kalmix_teacher (read their classes).
// kalmix.class_member says which login belongs to which class; a login belongs to one of the two
// groups, not both.
//
// Versions: kalmix.schema_version holds the version; each step brings it from n - 1 to n in one
// transaction, under an advisory lock so two runs at once are safe. Version 2 adds `received`
// (when the row reached the server) to both tables; version 3 keys the rows by class and round
// id instead of computer and round id, folding rows that two computers sent. Rows are written
// with their columns named.

#include "classserver/pgconnection.h"

#include <QString>

namespace kalmix {

// The newest schema this Kalmix knows; a server with a newer one is refused (ServerTooNew).
constexpr int kClassSchemaVersion = 3;

enum class MemberKind { Pupil, Teacher };

// The schema's version on the server: 0 when there is none (SchemaMissing is not an error here).
ServerError classSchemaVersion(PgConnection& c, int* version);
// Whether this Kalmix can use the server's tables: SchemaMissing without them, ServerTooNew
// (with the version in `number`) when a newer Kalmix has changed them.
ServerError checkClassSchema(PgConnection& c);

// Makes the roles kalmix_pupil and kalmix_teacher if they are missing, then brings the schema
// to `target` (kClassSchemaVersion; tests stop at older versions). Running it again changes
// nothing. *from gets the version found.
ServerError migrateClassSchema(PgConnection& c, int target = kClassSchemaVersion,
                               int* from = nullptr);

// Lets an existing login role add (pupil) or read (teacher) the answers of a class: grants the
// group role and records the membership. Doing it twice changes nothing.
ServerError addClassMember(PgConnection& c, const QString& className, const QString& role,
                           MemberKind kind);

// Whether a class name can be used: trimmed, 1 to 40 characters.
bool validClassName(const QString& name);

// What school IT asks for with --init-class-server.
struct ClassServerInit {
    QString conninfo;
    QString className;   // with pupilRole and/or teacherRole
    QString pupilRole;   // an existing login role
    QString teacherRole; // an existing login role
};

// Creates or migrates the schema and adds the members asked for. Returns an empty string when
// all went well (and what was done in *done), otherwise what went wrong, in plain words.
QString initClassServer(const ClassServerInit& init, QString* done = nullptr);

// For the settings page's "Test connection": connects with a short wait and checks the server
// version, the schema (missing, newer than this Kalmix) and, when a class is given, that the
// login may add answers of that class (a row is tried and rolled back). ok() when all is well;
// describe() says what is wrong.
ServerError testConnection(const QString& conninfo, const QString& className = {},
                           int timeoutSeconds = 5);

} // namespace kalmix
