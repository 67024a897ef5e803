#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace kalmix {

// An INI text held as its lines, so that a rewrite keeps every line it does not touch
// (comments, blank lines, lines it cannot read).
//
// Reading: section and key names match without regard to case; the first matching section
// and, inside it, the first matching key win. A section line is "[name]" ("[name" without
// the bracket also counts); an entry line is "key=value". Blanks and tabs around names and
// values are not part of them, and a value ends at a NUL character. Entries before the
// first section and lines without "=" belong to no key.
class IniDocument {
public:
    IniDocument() = default;
    // faithful as for decodeTextFile: false when the bytes are no text file of ours.
    static IniDocument parse(const QByteArray& bytes, bool* faithful = nullptr);
    static IniDocument fromText(const QString& text);

    // UTF-8 text, lines ended by CR LF.
    QByteArray toBytes() const;
    QString toText() const;

    std::optional<QString> value(const QString& section, const QString& key) const;
    // Whether the document already holds exactly the entry "key=value" (the key spelt the
    // same, the value with its blanks) where a read would find it.
    bool holdsExactly(const QString& section, const QString& key, const QString& value) const;
    // Replaces the first entry of the key in the section, or adds it (and the section).
    void setValue(const QString& section, const QString& key, const QString& value);
    // Removes every entry of the key in the first matching section.
    void removeKey(const QString& section, const QString& key);
    // Removes every section of that name with all its lines.
    void removeSection(const QString& section);

    const QStringList& lines() const { return m_lines; }

private:
    struct Range {
        qsizetype section = -1; // which section line it is, counted from 0
        qsizetype header = -1;  // index of the section line, -1 when absent
        qsizetype end = -1;     // index past its last line
    };
    // Where every section begins and, for long sections, where each key is: made at the first
    // lookup and kept in step with every edit, so that neither a lookup nor an edit walks the
    // whole document (a list of many players is saved name by name).
    struct Index {
        QList<qsizetype> headers;        // the index of every section line, in order
        QHash<QString, qsizetype> first; // case-folded name -> its first section
        // For the long sections asked for (by section): case-folded key -> the line of its
        // first entry, counted from the section line.
        QHash<qsizetype, QHash<QString, qsizetype>> keys;
    };
    const Index& index() const;
    Range findSection(const QString& section) const;
    qsizetype findKey(const Range& range, const QString& key) const;

    QStringList m_lines;
    mutable std::optional<Index> m_index;
};

// Lookups in a document without scanning all its lines: the same answers as
// IniDocument::value (first section and first key win, names without regard to case). Only
// the section lines are read up front; the keys of a section are looked at when it is first
// asked for, so a file of many players costs little more to open than a file of one.
class IniIndex {
public:
    IniIndex() = default;
    explicit IniIndex(const IniDocument& doc);
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Whether the document already holds exactly the entry "key=value" (the key spelt the
    // same, the value with its blanks) where a read would find it.
    bool holdsExactly(const QString& section, const QString& key, const QString& value) const;

private:
    struct Section {
        qsizetype begin = 0; // first line after the section line
        qsizetype end = 0;   // past its last line
    };
    // The line of the entry a read finds, or -1.
    qsizetype find(const QString& section, const QString& key) const;

    QStringList m_lines;
    QHash<QString, Section> m_sections; // by case-folded name
    // Keys of the long sections already asked for (a language file is one long section).
    mutable QHash<QString, QHash<QString, qsizetype>> m_keys;
};

// Parts of one line, for the reader above; exposed for tests.
bool iniSectionName(const QString& line, QString* name);
bool iniEntry(const QString& line, QString* key, QString* value);

} // namespace kalmix
