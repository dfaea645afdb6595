#pragma once

#include "rules/colorrec.h"
#include "rules/substringsfilter.h"

#include <QByteArray>

class IniFile;

// The colour rules and the sub-strings filter as the settings file keeps
// them ([Color] and [SFilters]), with the two [Color] strings RepFrom and
// RepTo that are only carried through.
struct RuleSettings
{
    ColorRules rules = defaultColorRec();
    SubstringsFilterValues filter;
    QByteArray repFrom;
    QByteArray repTo;

    bool operator==(const RuleSettings &) const = default;
};

// Missing keys take the defaults; rules 1 to 3 left without a text get
// their default text and colours back.
void loadRuleSettings(const IniFile &ini, RuleSettings &settings);
// Every key of all 20 rules, empty ones too. The settings file puts a text
// in double quotes wherever reading would otherwise trim it.
void saveRuleSettings(IniFile &ini, const RuleSettings &settings);

// The first character (UTF-8) of a value, or "." when it has none.
QByteArray firstCharacter(const QByteArray &value);
