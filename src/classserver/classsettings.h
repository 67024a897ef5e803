#pragma once

// The class server's keys in the settings file ([Optionen]): `Klassenserver` (libpq's
// connection text; none or empty: no class server), `Klasse` (the class name) and
// `Rechnerkennung` (this computer's id, made once the first time a class server is used).

#include <QString>

namespace kalmix {

QString classServerConnection();
QString classServerClass();

// This computer's id: 32 hex digits, made and stored the first time; empty when the settings
// file cannot keep it (a new id at every start would send rounds again as another computer's).
QString machineId();

// Whether a connection text can be stored: libpq reads it, the settings file keeps it whole
// (at most 254 characters), and it holds no password (the settings file is no place for one:
// ~/.pgpass or the file PGPASSFILE names is).
enum class ConnectionText { Fine, Unreadable, HasPassword };
ConnectionText checkConnectionText(const QString& conninfo);

} // namespace kalmix
