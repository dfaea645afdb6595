#include "rules/substringsfilter.h"

TSubstringsFilter::TSubstringsFilter(const TSubstringsFilterValues &values) : m_values(values)
{
    for (size_t i = 0; i < m_passes.size(); ++i) {
        if (values.RepFrom[i].isEmpty())
            continue;
        // Filter expressions always ignore letter case.
        m_passes[i] = TSubstringReplacer(values.RepFrom[i], values.RepTo[i], false);
        m_active = true;
    }
}

QByteArray TSubstringsFilter::Apply(const QByteArray &text) const
{
    QByteArray result = text;
    for (const TSubstringReplacer &pass : m_passes)
        if (pass.IsActive())
            result = pass.Apply(result);
    return result;
}

bool TSubstringsFilter::Apply(const QString &text, QString &result, std::vector<int> *offsets) const
{
    if (!m_active || text.isEmpty())
        return false;
    const QByteArray in = text.toUtf8();
    const QByteArray out = Apply(in);
    if (out == in)
        return false;
    result = QString::fromUtf8(out);
    if (!offsets)
        return true;
    // Every pass keeps the count of characters: the i-th character of the
    // result stands where the i-th of the text stood. A character is one
    // UTF-16 unit or a surrogate pair; a lone surrogate is one (it became
    // U+FFFD on the way).
    std::vector<int> mapped;
    mapped.reserve(size_t(result.size()) + 1);
    qsizetype s = 0;
    for (qsizetype r = 0; r < result.size(); ++r) {
        const int entry = s < qsizetype(offsets->size()) ? (*offsets)[size_t(s)] : offsets->back();
        mapped.push_back(entry);
        if (r + 1 < result.size() && result.at(r).isHighSurrogate() &&
            result.at(r + 1).isLowSurrogate()) {
            mapped.push_back(entry);
            ++r;
        }
        const bool pair =
            s + 1 < text.size() && text.at(s).isHighSurrogate() && text.at(s + 1).isLowSurrogate();
        s += pair ? 2 : 1;
    }
    mapped.push_back(offsets->empty() ? int(text.size()) : offsets->back());
    *offsets = std::move(mapped);
    return true;
}

namespace {
std::shared_ptr<const TSubstringsFilter> &Current()
{
    static std::shared_ptr<const TSubstringsFilter> current =
        std::make_shared<const TSubstringsFilter>();
    return current;
}
} // namespace

std::shared_ptr<const TSubstringsFilter> CurrentSubstringsFilter()
{
    return Current();
}

void SetCurrentSubstringsFilter(const TSubstringsFilterValues &values)
{
    Current() = std::make_shared<const TSubstringsFilter>(values);
}

QString FilterDisplayText(const QString &text)
{
    QString result;
    return Current()->Apply(text, result) ? result : text;
}
