#pragma once

#include "services/inicache.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kalmix {

// Full path of the settings file: the program's directory and "Kalmix.ini". Built anew on
// every call, never stored.
QString iniFilePath();

// Number text as the settings file keeps it: a leading blank before a number that is not
// negative (" 1000"), a minus sign before a negative one ("-1").
QString Str(long long number);

// The integer stored under Key in Section; Default when the key is absent or empty. The text is
// read as an optionally signed decimal number up to the first character that is no digit.
// A number outside -32768 to 32767 is an overflow error.
std::int16_t GetIniInt(const QString& section, const QString& key, std::int32_t def);

// The text stored under Key in Section, at most 254 characters; when absent, Default less its
// trailing blanks.
QString GetIniString(const QString& section, const QString& key, const QString& def);

// Writes Value under Key in Section, creating the file, the section and the key as needed.
// A null Key deletes the whole section, a null Value deletes the key. The file is replaced
// atomically: whatever happens, it is either the old file or the new one. A write that cannot
// be done (a read-only file or directory, a full disk) leaves the old file and is told to the
// user as SettingsWriteReport describes.
void SaveIni(const QString& section, const std::optional<QString>& key,
             const std::optional<QString>& value);

// Writes prefix1, prefix2, ... in Section with the values in their order, as SaveIni for each
// would, but with one look at the file and at most one write: a long player list that has not
// changed costs one lookup per name, and a changed one is written whole or not at all.
void SaveIniList(const QString& section, const QString& prefix, const QStringList& values);

// A write of the settings file that fails is told to the user in a message box (language text
// 240, in the current language), never as one box per value. While a report is alive, failed
// writes are gathered, and the outermost report says them once when it ends; a failed write
// outside any report is said at once. A save the user asked for (OK in the settings window) is
// always answered; other failures are said only once until a write of the file works again,
// so a read-only program directory does not bring a box at every player chosen.
class SettingsWriteReport {
public:
    explicit SettingsWriteReport(bool userAsked = false);
    ~SettingsWriteReport();
    SettingsWriteReport(const SettingsWriteReport&) = delete;
    SettingsWriteReport& operator=(const SettingsWriteReport&) = delete;
};

// The settings file holds the password's hash, and while it does, it is its owner's alone: a
// write gives it no rights for anyone else, and this takes them away from a file that an older
// Kalmix left readable by others.
void keepPasswordPrivate();

// One change the user makes (a player added or deleted, OK) written as one: while a batch is
// alive, SaveIni and SaveIniList change the settings file's text in memory, reads see those
// changes, and the outermost batch writes the file once when it ends (atomically, as SaveIni
// does; a failure is told as SettingsWriteReport describes). A long player list is then
// written once per change, not once per value.
class SettingsBatch {
public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch&) = delete;
    SettingsBatch& operator=(const SettingsBatch&) = delete;
};

// The values of prefix1, prefix2, ... in Section up to the first empty or missing one, each as
// GetIniString reads it, from one look at the file. `whole`: values are never cut (names that
// are also the names of sections must come back as they are).
QStringList GetIniList(const QString& section, const QString& prefix, bool whole = false);

// The profile read and write under the functions above, on any INI file.
// profileRead gives nothing when the file, the section or the key is absent.
std::optional<QString> profileRead(const QString& file, const QString& section, const QString& key);
// Returns whether the file now holds the change.
bool profileWrite(const QString& file, const QString& section, const std::optional<QString>& key,
                  const std::optional<QString>& value);
// Several changes of one section in their order, written at once (or not at all).
struct ProfileChange {
    std::optional<QString> key;
    std::optional<QString> value;
};
bool profileWriteAll(const QString& file, const QString& section,
                     const QList<ProfileChange>& changes);

} // namespace kalmix
