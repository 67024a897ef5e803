#include "services/ini.h"

#include "services/codepage.h"

namespace kalmix {

namespace {

// Sections up to this many lines are searched line by line; longer ones get a key table.
constexpr qsizetype kShortSection = 24;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Line breaks or NULs inside a name or value would split the entry when written.
QString oneLine(const QString& s) {
    QString out = s;
    for (QChar& c : out) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    return out;
}

} // namespace

bool iniSectionName(const QString& line, QString* name) {
    const QStringView t = trimBlanks(line);
    if (!t.startsWith(u'['))
        return false;
    // A name may hold "]" itself (a hand-edited file): the last one on the line closes it, so
    // that every section the writer puts down reads back under its own name.
    const qsizetype close = t.lastIndexOf(u']');
    const QStringView inner = close < 0 ? t.sliced(1) : t.sliced(1, close - 1);
    if (name)
        *name = trimBlanks(inner).toString();
    return true;
}

bool iniEntry(const QString& line, QString* key, QString* value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    const QStringView k = trimBlanks(QStringView(line).first(eq));
    if (k.isEmpty() || k.startsWith(u'['))
        return false;
    if (key)
        *key = k.toString();
    if (value) {
        QStringView v = QStringView(line).sliced(eq + 1);
        const qsizetype nul = v.indexOf(QChar(0));
        if (nul >= 0)
            v = v.first(nul);
        *value = trimBlanks(v).toString();
    }
    return true;
}

IniDocument IniDocument::parse(const QByteArray& bytes, bool* faithful) {
    return fromText(decodeTextFile(bytes, faithful));
}

IniDocument IniDocument::fromText(const QString& text) {
    IniDocument doc;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        doc.m_lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        doc.m_lines.append(text.sliced(start));
    return doc;
}

QString IniDocument::toText() const {
    QString out;
    qsizetype size = 0;
    for (const QString& l : m_lines)
        size += l.size() + 2;
    out.reserve(size);
    for (const QString& l : m_lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

QByteArray IniDocument::toBytes() const {
    return toText().toUtf8();
}

const IniDocument::Index& IniDocument::index() const {
    if (m_index)
        return *m_index;
    Index idx;
    QString name;
    const qsizetype n = m_lines.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!iniSectionName(m_lines[i], &name))
            continue;
        const QString folded = name.toCaseFolded();
        if (!idx.first.contains(folded)) // a repeat is hidden behind the first
            idx.first.insert(folded, idx.headers.size());
        idx.headers.append(i);
    }
    m_index = std::move(idx);
    return *m_index;
}

IniDocument::Range IniDocument::findSection(const QString& section) const {
    const Index& idx = index();
    const auto it = idx.first.constFind(section.toCaseFolded());
    if (it == idx.first.constEnd())
        return {};
    const qsizetype s = *it;
    return {s, idx.headers[s], s + 1 < idx.headers.size() ? idx.headers[s + 1] : m_lines.size()};
}

qsizetype IniDocument::findKey(const Range& range, const QString& key) const {
    if (range.header < 0)
        return -1;
    QString k;
    if (range.end - range.header - 1 <= kShortSection) {
        for (qsizetype i = range.header + 1; i < range.end; ++i) {
            if (iniEntry(m_lines[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    auto keys = m_index->keys.find(range.section);
    if (keys == m_index->keys.end()) {
        keys = m_index->keys.insert(range.section, {});
        for (qsizetype i = range.header + 1; i < range.end; ++i) {
            if (!iniEntry(m_lines[i], &k, nullptr))
                continue;
            const QString f = k.toCaseFolded();
            if (!keys->contains(f))
                keys->insert(f, i - range.header);
        }
    }
    const qsizetype offset = keys->value(key.toCaseFolded(), -1);
    return offset < 0 ? -1 : range.header + offset;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const qsizetype i = findKey(findSection(section), key);
    if (i < 0)
        return std::nullopt;
    QString v;
    iniEntry(m_lines[i], nullptr, &v);
    return v;
}

bool IniDocument::holdsExactly(const QString& section, const QString& key,
                               const QString& value) const {
    const qsizetype i = findKey(findSection(section), key);
    return i >= 0 && m_lines[i] == key + u'=' + value;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    const QString k = oneLine(key);
    const QString line = k + u'=' + oneLine(value);
    const Range r = findSection(section);
    if (r.header < 0) {
        const QString header = u'[' + oneLine(section) + u']';
        m_lines.append(header);
        m_lines.append(line);
        QString name;
        iniSectionName(header, &name);
        if (!m_index->first.contains(name.toCaseFolded()))
            m_index->first.insert(name.toCaseFolded(), m_index->headers.size());
        m_index->headers.append(m_lines.size() - 2);
        if (iniSectionName(line, nullptr))
            m_index.reset(); // a key that reads as a section line: the index is made anew
        return;
    }
    const qsizetype i = findKey(r, k);
    if (i >= 0) {
        // The line keeps its key (the same name, spelt as now asked): the index stays right.
        m_lines[i] = line;
        return;
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    qsizetype at = r.end;
    while (at > r.header + 1 && trimBlanks(m_lines[at - 1]).isEmpty())
        --at;
    m_lines.insert(at, line);
    if (iniSectionName(line, nullptr)) {
        m_index.reset();
        return;
    }
    for (qsizetype s = r.section + 1; s < m_index->headers.size(); ++s)
        ++m_index->headers[s];
    // Every entry of the section lies before the new line (blank lines hold no key), so the
    // section's key table only gains the new key, unless an entry before already holds it.
    const auto keys = m_index->keys.find(r.section);
    QString added;
    if (keys != m_index->keys.end() && iniEntry(line, &added, nullptr) &&
        !keys->contains(added.toCaseFolded()))
        keys->insert(added.toCaseFolded(), at - r.header);
}

void IniDocument::removeKey(const QString& section, const QString& key) {
    const Range r = findSection(section);
    if (r.header < 0)
        return;
    QString k;
    qsizetype removed = 0;
    for (qsizetype i = r.end - 1; i > r.header; --i) {
        if (iniEntry(m_lines[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0) {
            m_lines.removeAt(i);
            ++removed;
        }
    }
    if (removed == 0)
        return;
    for (qsizetype s = r.section + 1; s < m_index->headers.size(); ++s)
        m_index->headers[s] -= removed;
    m_index->keys.remove(r.section); // made again when next asked for
}

void IniDocument::removeSection(const QString& section) {
    // Every section of that name goes, from its section line to the next section line.
    const QList<qsizetype> headers = index().headers;
    QString name;
    bool removed = false;
    for (qsizetype s = headers.size() - 1; s >= 0; --s) {
        iniSectionName(m_lines[headers[s]], &name);
        if (name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype end = s + 1 < headers.size() ? headers[s + 1] : m_lines.size();
        m_lines.remove(headers[s], end - headers[s]);
        removed = true;
    }
    if (removed)
        m_index.reset();
}

IniIndex::IniIndex(const IniDocument& doc) : m_lines(doc.lines()) {
    QString name;
    QString current;
    bool open = false;
    const qsizetype n = m_lines.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!iniSectionName(m_lines[i], &name))
            continue;
        if (open)
            m_sections[current].end = i;
        current = name.toCaseFolded();
        // A section that came before keeps its first place; a repeat is not read.
        open = !m_sections.contains(current);
        if (open)
            m_sections.insert(current, Section{i + 1, n});
    }
}

qsizetype IniIndex::find(const QString& section, const QString& key) const {
    const QString folded = section.toCaseFolded();
    const auto s = m_sections.constFind(folded);
    if (s == m_sections.constEnd())
        return -1;
    QString k;
    if (s->end - s->begin <= kShortSection) {
        for (qsizetype i = s->begin; i < s->end; ++i) {
            if (iniEntry(m_lines[i], &k, nullptr) && k.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
    auto keys = m_keys.find(folded);
    if (keys == m_keys.end()) {
        keys = m_keys.insert(folded, {});
        for (qsizetype i = s->begin; i < s->end; ++i) {
            if (!iniEntry(m_lines[i], &k, nullptr))
                continue;
            const QString f = k.toCaseFolded();
            if (!keys->contains(f))
                keys->insert(f, i);
        }
    }
    return keys->value(key.toCaseFolded(), -1);
}

std::optional<QString> IniIndex::value(const QString& section, const QString& key) const {
    const qsizetype i = find(section, key);
    if (i < 0)
        return std::nullopt;
    QString v;
    iniEntry(m_lines[i], nullptr, &v);
    return v;
}

bool IniIndex::holdsExactly(const QString& section, const QString& key,
                            const QString& value) const {
    const qsizetype i = find(section, key);
    return i >= 0 && m_lines[i] == key + u'=' + value;
}

} // namespace kalmix
