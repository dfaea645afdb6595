#include "app/rulesettings.h"

#include "app/inifile.h"

namespace {

const QByteArray kColor = "Color";
const QByteArray kFilters = "SFilters";

QByteArray Key(const char *name, int n)
{
    return QByteArray(name) + QByteArray::number(n);
}

} // namespace

QByteArray FirstCharacter(const QByteArray &value)
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

void LoadRuleSettings(const IniFile &ini, TRuleSettings &s)
{
    for (int i = 0; i < 3; ++i) {
        s.Filter.RepFrom[size_t(i)] = ini.ReadString(kFilters, Key("From", i + 1), QByteArray());
        s.Filter.RepTo[size_t(i)] = FirstCharacter(ini.ReadString(kFilters, Key("To", i + 1), "."));
    }
    const TColorRecItem def;
    for (int n = 1; n <= TColorRec::Count; ++n) {
        TColorRecItem &item = s.Rules.Rule(n);
        item.En = ini.ReadBool(kColor, Key("En", n), def.En);
        item.Text = ini.ReadString(kColor, Key("Text", n), def.Text);
        item.ColorF = ini.ReadInteger(kColor, Key("ColorF", n), def.ColorF);
        item.ColorB = ini.ReadInteger(kColor, Key("ColorB", n), def.ColorB);
        item.Case = ini.ReadBool(kColor, Key("Case", n), def.Case);
        item.Inv = ini.ReadBool(kColor, Key("Inv", n), def.Inv);
        item.Repl = ini.ReadBool(kColor, Key("Repl", n), def.Repl);
        item.RStr = ini.ReadString(kColor, Key("RStr", n), def.RStr);
    }
    s.RepFrom = ini.ReadString(kColor, "RepFrom", QByteArray());
    s.RepTo = ini.ReadString(kColor, "RepTo", QByteArray());
    ApplyDefaultRules(s.Rules);
}

void SaveRuleSettings(IniFile &ini, const TRuleSettings &s)
{
    for (int i = 0; i < 3; ++i) {
        ini.WriteString(kFilters, Key("From", i + 1), s.Filter.RepFrom[size_t(i)]);
        ini.WriteString(kFilters, Key("To", i + 1), FirstCharacter(s.Filter.RepTo[size_t(i)]));
    }
    for (int n = 1; n <= TColorRec::Count; ++n) {
        const TColorRecItem &item = s.Rules.Rule(n);
        ini.WriteBool(kColor, Key("En", n), item.En);
        ini.WriteString(kColor, Key("Text", n), item.Text);
        ini.WriteInteger(kColor, Key("ColorF", n), item.ColorF);
        ini.WriteInteger(kColor, Key("ColorB", n), item.ColorB);
        ini.WriteBool(kColor, Key("Case", n), item.Case);
        ini.WriteBool(kColor, Key("Inv", n), item.Inv);
        ini.WriteBool(kColor, Key("Repl", n), item.Repl);
        ini.WriteString(kColor, Key("RStr", n), item.RStr);
    }
    ini.WriteString(kColor, "RepFrom", s.RepFrom);
    ini.WriteString(kColor, "RepTo", s.RepTo);
}
