// An INI file parsed, saved and parsed again gives the same values; all in
// memory.
#include "app/inifile.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Section names as the file spells them, from its header lines.
QList<QByteArray> sections(const QByteArray &bytes)
{
    QList<QByteArray> names{QByteArray()};
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[') && line.contains(']'))
            names += line.mid(1, line.indexOf(']') - 1);
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    IniFile a(QStringLiteral("a.ini"));
    if (!a.loadData(input))
        return 0;
    // A value written by the program must read back after the round trip too.
    a.writeString("Fuzz", "Key", input.left(16));
    const QByteArray saved = a.serialize();
    IniFile b(QStringLiteral("b.ini"));
    if (!b.loadData(saved)) {
        std::fprintf(stderr, "the saved file does not load\n");
        std::abort();
    }
    if (b.serialize() != saved) {
        std::fprintf(stderr, "saving again changes the file\n");
        std::abort();
    }
    QList<QByteArray> names = sections(input);
    names += "Fuzz";
    for (const QByteArray &section : names) {
        const QStringList keys = a.readSectionKeys(section);
        if (keys != b.readSectionKeys(section)) {
            std::fprintf(stderr, "the keys of [%s] changed\n", section.constData());
            std::abort();
        }
        for (const QString &key : keys) {
            const QByteArray k = key.toUtf8();
            if (a.readString(section, k, "\x01") != b.readString(section, k, "\x01")) {
                std::fprintf(stderr, "[%s] %s changed\n", section.constData(), k.constData());
                std::abort();
            }
        }
    }
    return 0;
}
