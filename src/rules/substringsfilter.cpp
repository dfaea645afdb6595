#include "rules/substringsfilter.h"

SubstringsFilter::SubstringsFilter(const SubstringsFilterValues &values) : m_values(values)
{
    for (size_t i = 0; i < m_passes.size(); ++i) {
        if (values.repFrom[i].isEmpty())
            continue;
        // Filter expressions always ignore letter case.
        m_passes[i] = SubstringReplacer(values.repFrom[i], values.repTo[i], false);
        m_active = true;
    }
}

QByteArray SubstringsFilter::apply(const QByteArray &text) const
{
    QByteArray result = text;
    for (const SubstringReplacer &pass : m_passes)
        if (pass.isActive())
            result = pass.apply(result);
    return result;
}

bool SubstringsFilter::apply(const QString &text, QString &result, std::vector<int> *offsets) const
{
    if (!m_active || text.isEmpty())
        return false;
    const QByteArray in = text.toUtf8();
    const QByteArray out = apply(in);
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
std::shared_ptr<const SubstringsFilter> &current()
{
    static std::shared_ptr<const SubstringsFilter> current =
        std::make_shared<const SubstringsFilter>();
    return current;
}
} // namespace

std::shared_ptr<const SubstringsFilter> currentSubstringsFilter()
{
    return current();
}

void setCurrentSubstringsFilter(const SubstringsFilterValues &values)
{
    current() = std::make_shared<const SubstringsFilter>(values);
}

QString filterDisplayText(const QString &text)
{
    QString result;
    return current()->apply(text, result) ? result : text;
}
