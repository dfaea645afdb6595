// What detecting the encoding adds to opening a file: reading and judging
// its first 64 KiB, for the kinds of text that take each path.
#include "benchcommon.h"

#include "text/encodingdetect.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <unicode/ucnv.h>

#include <cstdio>

namespace {

QByteArray convert(const char *charset, const QByteArray &utf8)
{
    UErrorCode status = U_ZERO_ERROR;
    QByteArray out(utf8.size() * 4 + 16, '\0');
    const int32_t n = ucnv_convert(charset, "UTF-8", out.data(), int32_t(out.size()),
                                   utf8.constData(), int32_t(utf8.size()), &status);
    out.resize(U_SUCCESS(status) ? n : 0);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QByteArray russian;
    while (russian.size() < 128 * 1024)
        russian += "2026-12-09 10:30:15 ОШИБКА соединение с базой данных потеряно, запрос " +
                   QByteArray::number(russian.size()) + "\n";
    const struct
    {
        const char *what;
        QByteArray bytes;
    } kinds[] = {
        {"UTF-8", russian},
        {"Windows-1251 (ICU's detector)", convert("windows-1251", russian)},
        {"UTF-16 LE", convert("UTF-16LE", russian)},
    };
    QTemporaryDir dir;
    const int runs = bench::smoke() ? 3 : 51;
    for (const auto &k : kinds) {
        const QString path = dir.filePath(QStringLiteral("log"));
        QFile out(path);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        out.write(k.bytes);
        out.close();
        EncodingGuess guess;
        // As the window does it on opening: read the head, judge it.
        const double seconds = bench::medianSeconds(runs, [&] {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                guess = guessEncoding(file.read(64 * 1024));
        });
        std::fprintf(stderr, "%s: kind %d\n", k.what, int(guess.kind));
        if (guess.kind == EncodingGuess::Kind::None)
            bench::fail(QStringLiteral("nothing detected for %1").arg(QLatin1String(k.what)));
        bench::report({QStringLiteral("encoding detection on open, %1").arg(QLatin1String(k.what)),
                       seconds * 1e3, QStringLiteral("ms"), 0, QString(), 2, false,
                       QStringLiteral("<= 2 ms")});
    }
    return bench::exitCode();
}
