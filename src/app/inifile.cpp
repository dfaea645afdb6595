#include "app/inifile.h"

#include "text/atomicfile.h"
#include "text/contract.h"
#include "text/fileutil.h"
#include "text/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isQuoted(const QByteArray &value)
{
    return value.size() >= 2 && value.startsWith('"') && value.endsWith('"');
}

const QString kUnit = QStringLiteral("IniFile");
const QByteArray kBom("\xEF\xBB\xBF");

QByteArray fold(const QByteArray &name)
{
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            return QString::fromUtf8(name).toCaseFolded().toUtf8();
    }
    return name.toLower();
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

char firstNonSpace(const QByteArray &raw)
{
    for (const char c : raw) {
        if (!isSpace(c))
            return c;
    }
    return '\0';
}

QByteArray rawValue(const QByteArray &raw)
{
    return raw.mid(raw.indexOf('=') + 1).trimmed();
}

std::optional<int> parseInteger(const QByteArray &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (text.mid(i, 2).toLower() == "0x") {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Hex takes the full 32 bits so that colours such as $FF000005 read back.
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    qint64 value = base == 16 ? qint64(qint32(quint32(magnitude))) : qint64(magnitude);
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

void requireSectionName(const QByteArray &section, const char *operation)
{
    const bool ok = !section.isEmpty() && section.trimmed() == section &&
                    section.indexOf(']') < 0 && section.indexOf('\n') < 0 &&
                    section.indexOf('\r') < 0 && section.indexOf('\0') < 0;
    require(ok, QStringLiteral("Invalid section name: %1").arg(QLatin1String(operation)), kUnit);
}

void requireKeyName(const QByteArray &key, const char *operation)
{
    const bool ok = !key.isEmpty() && key.trimmed() == key && key.indexOf('=') < 0 &&
                    key.indexOf('\n') < 0 && key.indexOf('\r') < 0 && key.indexOf('\0') < 0 &&
                    key[0] != ';' && key[0] != '#' && key[0] != '[';
    require(ok, QStringLiteral("Invalid key name: %1").arg(QLatin1String(operation)), kUnit);
}

} // namespace

IniFile::IniFile(const QString &path) : m_path(path)
{
    m_sections.emplace_back();
}

void IniFile::startLoad()
{
    m_sections.clear();
    m_sections.emplace_back();
    m_sectionIndex.clear();
    m_bom = false;
    m_crlf = false;
    m_lastError.clear();
    m_loaded = true;
    m_readFailed = false;
    m_tooLarge = false;
}

bool IniFile::load()
{
    startLoad();

    auto failed = [this](const QString &reason) {
        m_lastError = reason;
        m_readFailed = true;
        return false;
    };

    const QByteArray local = fileNameToBytes(m_path);
    struct stat st;
    if (::stat(local.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        return failed(errnoText(errno));
    }
    // A FIFO or a device would block or never end.
    if (!S_ISREG(st.st_mode))
        return failed(QStringLiteral("Not a regular file"));
    if (st.st_size > kMaxFileBytes) {
        m_tooLarge = true;
        return failed(QStringLiteral("File too large"));
    }

    const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failed(errnoText(errno));
    // The path may have been replaced since the stat above.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failed(QStringLiteral("Not a regular file"));
    }
    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return failed(errnoText(error));
        }
        if (n == 0)
            break;
        data.append(buffer, n);
        if (data.size() > kMaxFileBytes) {
            ::close(fd);
            m_tooLarge = true;
            return failed(QStringLiteral("File too large"));
        }
    }
    ::close(fd);
    return loadData(data);
}

bool IniFile::loadData(const QByteArray &data)
{
    startLoad();
    if (data.size() > kMaxFileBytes || !parse(data)) {
        m_sections.clear();
        m_sections.emplace_back();
        m_sectionIndex.clear();
        m_tooLarge = true;
        m_readFailed = true;
        m_lastError = data.size() > kMaxFileBytes ? QStringLiteral("File too large")
                                                  : QStringLiteral("Too many lines");
        return false;
    }
    return true;
}

bool IniFile::parse(const QByteArray &data)
{
    const char *const base = data.constData();
    const qsizetype size = data.size();
    qsizetype pos = 0;
    if (data.startsWith(kBom)) {
        m_bom = true;
        pos = kBom.size();
    }
    bool styleKnown = false;
    qsizetype held = 0;
    std::vector<Line> pending;
    while (pos < size) {
        const auto *nl =
            static_cast<const char *>(std::memchr(base + pos, '\n', size_t(size - pos)));
        const qsizetype end = nl ? nl - base : size;
        const qsizetype start = pos;
        pos = end + 1;
        qsizetype length = end - start;
        const bool cr = length > 0 && base[end - 1] == '\r';
        if (cr)
            --length;
        if (nl && !styleKnown) {
            m_crlf = cr;
            styleKnown = true;
        }
        if (length == 0 && !pending.empty() && pending.back().raw.isEmpty() &&
            pending.back().cr == cr) {
            ++pending.back().repeat; // long blank runs cost no more than one line
            continue;
        }
        Line line;
        line.raw = QByteArray(base + start, length);
        line.cr = cr;
        // Whatever its bytes, a line is kept as it is; one too long to be a
        // setting is kept without being read.
        const bool unread = length > kMaxLineBytes;
        const char first = unread ? '\0' : firstNonSpace(line.raw);
        const qsizetype equals = unread ? -1 : line.raw.indexOf('=');
        const QByteArray key = equals > 0 ? line.raw.left(equals).trimmed() : QByteArray();
        Section &current = m_sections.back();
        if (first == '[') {
            finishSection(current, pending);
            Section next;
            next.hasHeader = true;
            const QByteArray trimmed = line.raw.trimmed();
            const qsizetype close = trimmed.lastIndexOf(']');
            next.name = trimmed.mid(1, close > 0 ? close - 1 : -1).trimmed();
            next.header = std::move(line);
            m_sections.push_back(std::move(next));
        } else if (current.hasHeader && first != ';' && first != '#' && !key.isEmpty()) {
            line.key = key;
            for (Line &waiting : pending)
                current.body.push_back(std::move(waiting));
            pending.clear();
            current.body.push_back(std::move(line));
            const QByteArray folded = fold(key);
            if (!current.keys.contains(folded))
                current.keys.insert(folded, qsizetype(current.body.size()) - 1);
        } else if (!pending.empty() && pending.back().raw == line.raw &&
                   pending.back().cr == line.cr) {
            ++pending.back().repeat;
            continue;
        } else {
            pending.push_back(std::move(line));
        }
        if (++held > kMaxLines)
            return false;
    }
    finishSection(m_sections.back(), pending);
    rebuildSectionIndex();
    return true;
}

void IniFile::finishSection(Section &section, std::vector<Line> &pending)
{
    qsizetype split = 0;
    if (section.keys.isEmpty()) {
        // No key to anchor new ones: they go after the last non-blank line.
        for (qsizetype i = qsizetype(pending.size()); i > 0; --i) {
            if (!pending[size_t(i - 1)].raw.trimmed().isEmpty()) {
                split = i;
                break;
            }
        }
    }
    for (qsizetype i = 0; i < qsizetype(pending.size()); ++i) {
        if (i < split)
            section.body.push_back(std::move(pending[size_t(i)]));
        else
            section.trailer.push_back(std::move(pending[size_t(i)]));
    }
    pending.clear();
}

void IniFile::rebuildSectionIndex()
{
    m_sectionIndex.clear();
    for (qsizetype i = 1; i < qsizetype(m_sections.size()); ++i) {
        const Section &section = m_sections[size_t(i)];
        if (section.erased)
            continue;
        const QByteArray folded = fold(section.name);
        if (!m_sectionIndex.contains(folded))
            m_sectionIndex.insert(folded, i);
    }
}

const IniFile::Line *IniFile::findKey(const QByteArray &section, const QByteArray &key) const
{
    const qsizetype s = m_sectionIndex.value(fold(section.trimmed()), -1);
    if (s < 0)
        return nullptr;
    const Section &sec = m_sections[size_t(s)];
    const qsizetype k = sec.keys.value(fold(key.trimmed()), -1);
    return k < 0 ? nullptr : &sec.body[size_t(k)];
}

std::optional<QByteArray> IniFile::value(const QByteArray &section, const QByteArray &key) const
{
    const Line *line = findKey(section, key);
    if (!line)
        return std::nullopt;
    QByteArray value = rawValue(line->raw);
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    return value;
}

QByteArray IniFile::readString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &def) const
{
    return value(section, key).value_or(def);
}

int IniFile::readInteger(const QByteArray &section, const QByteArray &key, int def) const
{
    const std::optional<QByteArray> found = value(section, key);
    return found ? parseInteger(*found).value_or(def) : def;
}

bool IniFile::readBool(const QByteArray &section, const QByteArray &key, bool def) const
{
    const std::optional<QByteArray> found = value(section, key);
    const std::optional<int> number = found ? parseInteger(*found) : std::nullopt;
    return number ? *number != 0 : def;
}

QString IniFile::readUtf8(const QByteArray &section, const QByteArray &key,
                          const QString &def) const
{
    const std::optional<QByteArray> found = value(section, key);
    return found ? QString::fromUtf8(*found) : def;
}

bool IniFile::keyExists(const QByteArray &section, const QByteArray &key) const
{
    return findKey(section, key) != nullptr;
}

QStringList IniFile::readSectionKeys(const QByteArray &section) const
{
    QStringList keys;
    const qsizetype s = m_sectionIndex.value(fold(section.trimmed()), -1);
    if (s < 0)
        return keys;
    QSet<QByteArray> seen;
    for (const Line &line : m_sections[size_t(s)].body) {
        if (line.removed || line.key.isEmpty())
            continue;
        const QByteArray folded = fold(line.key);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        keys.append(QString::fromUtf8(line.key));
    }
    return keys;
}

IniFile::Section &IniFile::sectionForWrite(const QByteArray &section)
{
    const QByteArray folded = fold(section);
    const qsizetype s = m_sectionIndex.value(folded, -1);
    if (s >= 0)
        return m_sections[size_t(s)];

    // Keep a blank line between the last section and the new one.
    for (auto it = m_sections.rbegin(); it != m_sections.rend(); ++it) {
        Section &last = *it;
        if (last.erased)
            continue;
        const Line *lastLine = nullptr;
        if (!last.trailer.empty())
            lastLine = &last.trailer.back();
        for (auto line = last.body.rbegin(); !lastLine && line != last.body.rend(); ++line) {
            if (!line->removed)
                lastLine = &*line;
        }
        if (!lastLine && last.hasHeader)
            lastLine = &last.header;
        if (!lastLine)
            continue;
        if (!lastLine->raw.trimmed().isEmpty()) {
            Line blank;
            blank.cr = m_crlf;
            last.trailer.push_back(blank);
        }
        break;
    }

    Section added;
    added.name = section;
    added.hasHeader = true;
    added.header.raw = '[' + section + ']';
    added.header.cr = m_crlf;
    m_sections.push_back(std::move(added));
    m_sectionIndex.insert(folded, qsizetype(m_sections.size()) - 1);
    return m_sections.back();
}

void IniFile::appendKeyLine(Section &section, const QByteArray &key, const QByteArray &value)
{
    Line line;
    line.raw = key + '=' + value;
    line.key = key;
    line.cr = m_crlf;
    section.body.push_back(std::move(line));
    section.keys.insert(fold(key), qsizetype(section.body.size()) - 1);
}

bool IniFile::canHoldValue(const QByteArray &value)
{
    return value.indexOf('\n') < 0 && value.indexOf('\r') < 0 && value.indexOf('\0') < 0;
}

void IniFile::writeString(const QByteArray &section, const QByteArray &key, const QByteArray &text)
{
    requireSectionName(section, "WriteString");
    requireKeyName(key, "WriteString");
    if (!canHoldValue(text)) {
        deleteKey(section, key);
        return;
    }
    // Reading trims blanks: a value with blank edges goes in quotes, so that
    // it reads back as it was written. A value already in quotes is the
    // caller's quoting (the colour rules store theirs so) and stays as it is.
    QByteArray stored = text;
    if (text != text.trimmed() && !isQuoted(text))
        stored = '"' + text + '"';
    Section &sec = sectionForWrite(section);
    const qsizetype k = sec.keys.value(fold(key), -1);
    if (k < 0) {
        appendKeyLine(sec, key, stored);
        return;
    }
    Line &line = sec.body[size_t(k)];
    // An unchanged value keeps the line exactly as the user formatted it.
    if (value(section, key) == text)
        return;
    line.raw = line.key + '=' + stored;
}

void IniFile::writeInteger(const QByteArray &section, const QByteArray &key, int value)
{
    writeString(section, key, QByteArray::number(value));
}

void IniFile::writeBool(const QByteArray &section, const QByteArray &key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

void IniFile::writeUtf8(const QByteArray &section, const QByteArray &key, const QString &value)
{
    writeExact(section, key, value.toUtf8());
}

void IniFile::writeExact(const QByteArray &section, const QByteArray &key, const QByteArray &value)
{
    // Reading takes one pair of outer quotes off.
    writeString(section, key, isQuoted(value) ? '"' + value + '"' : value);
}

void IniFile::deleteKey(const QByteArray &section, const QByteArray &key)
{
    requireSectionName(section, "DeleteKey");
    requireKeyName(key, "DeleteKey");
    const qsizetype s = m_sectionIndex.value(fold(section), -1);
    if (s < 0)
        return;
    Section &sec = m_sections[size_t(s)];
    const QByteArray folded = fold(key);
    if (!sec.keys.contains(folded))
        return;
    // Duplicates go too, or the next one would surface in place of the deleted key.
    for (Line &line : sec.body) {
        if (!line.removed && !line.key.isEmpty() && fold(line.key) == folded)
            line.removed = true;
    }
    sec.keys.remove(folded);
}

void IniFile::eraseSection(const QByteArray &section)
{
    requireSectionName(section, "EraseSection");
    const QByteArray folded = fold(section);
    if (!m_sectionIndex.contains(folded))
        return;
    for (qsizetype i = 1; i < qsizetype(m_sections.size()); ++i) {
        Section &sec = m_sections[size_t(i)];
        if (!sec.erased && fold(sec.name) == folded)
            sec.erased = true;
    }
    m_sectionIndex.remove(folded);
}

QByteArray IniFile::serialize() const
{
    QByteArray out;
    if (m_bom)
        out += kBom;
    auto put = [&out](const Line &line) {
        if (line.removed)
            return;
        for (quint32 i = 0; i < line.repeat; ++i) {
            out += line.raw;
            if (line.cr)
                out += '\r';
            out += '\n';
        }
    };
    for (const Section &section : m_sections) {
        if (section.erased)
            continue;
        if (section.hasHeader)
            put(section.header);
        for (const Line &line : section.body)
            put(line);
        for (const Line &line : section.trailer)
            put(line);
    }
    return out;
}

bool IniFile::fail(const QString &reason)
{
    m_lastError = reason;
    showMessage(QStringLiteral("Ravelin"), QStringLiteral("Unable to write to %1").arg(m_path),
                MsgIcon::Error);
    return false;
}

bool IniFile::updateFile()
{
    require(m_loaded, QStringLiteral("Settings file not loaded: UpdateFile"), kUnit);
    // What could not be read is not ours to replace.
    if (m_readFailed)
        return fail(m_lastError);
    m_lastError.clear();

    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("Cannot create the folder %1").arg(folder));
    QString error;
    if (!writeFileAtomically(m_path, serialize(), &error, m_saveHook))
        return fail(error);
    return true;
}
