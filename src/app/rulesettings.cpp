#include "app/rulesettings.h"

#include "app/inifile.h"

namespace {

const QByteArray kColor = "Color";
const QByteArray kFilters = "SFilters";

QByteArray key(const char *name, int n)
{
    return QByteArray(name) + QByteArray::number(n);
}

} // namespace

QByteArray firstCharacter(const QByteArray &value)
{
    if (value.isEmpty())
        return ".";
    const auto lead = static_cast<unsigned char>(value[0]);
    qsizetype n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    qsizetype k = 1;
    while (k < n && k < value.size() && (static_cast<unsigned char>(value[k]) & 0xC0) == 0x80)
        ++k;
    return value.left(k);
}

void loadRuleSettings(const IniFile &ini, RuleSettings &s)
{
    for (int i = 0; i < 3; ++i) {
        s.filter.repFrom[size_t(i)] = ini.readString(kFilters, key("From", i + 1), QByteArray());
        s.filter.repTo[size_t(i)] = firstCharacter(ini.readString(kFilters, key("To", i + 1), "."));
    }
    const ColorRule def;
    for (int n = 1; n <= ColorRules::count; ++n) {
        ColorRule &item = s.rules.rule(n);
        item.en = ini.readBool(kColor, key("En", n), def.en);
        item.text = ini.readString(kColor, key("Text", n), def.text);
        item.colorF = ini.readInteger(kColor, key("ColorF", n), def.colorF);
        item.colorB = ini.readInteger(kColor, key("ColorB", n), def.colorB);
        item.caseSensitive = ini.readBool(kColor, key("Case", n), def.caseSensitive);
        item.inv = ini.readBool(kColor, key("Inv", n), def.inv);
        item.repl = ini.readBool(kColor, key("Repl", n), def.repl);
        item.rStr = ini.readString(kColor, key("RStr", n), def.rStr);
    }
    s.repFrom = ini.readString(kColor, "RepFrom", QByteArray());
    s.repTo = ini.readString(kColor, "RepTo", QByteArray());
    applyDefaultRules(s.rules);
}

void saveRuleSettings(IniFile &ini, const RuleSettings &s)
{
    for (int i = 0; i < 3; ++i) {
        ini.writeString(kFilters, key("From", i + 1), s.filter.repFrom[size_t(i)]);
        ini.writeString(kFilters, key("To", i + 1), firstCharacter(s.filter.repTo[size_t(i)]));
    }
    for (int n = 1; n <= ColorRules::count; ++n) {
        const ColorRule &item = s.rules.rule(n);
        ini.writeBool(kColor, key("En", n), item.en);
        ini.writeString(kColor, key("Text", n), item.text);
        ini.writeInteger(kColor, key("ColorF", n), item.colorF);
        ini.writeInteger(kColor, key("ColorB", n), item.colorB);
        ini.writeBool(kColor, key("Case", n), item.caseSensitive);
        ini.writeBool(kColor, key("Inv", n), item.inv);
        ini.writeBool(kColor, key("Repl", n), item.repl);
        ini.writeString(kColor, key("RStr", n), item.rStr);
    }
    ini.writeString(kColor, "RepFrom", s.repFrom);
    ini.writeString(kColor, "RepTo", s.repTo);
}
