#pragma once

#include "app/appsettings.h"

#include <QFont>

// A stored font as a QFont. Viewer fonts ask for a fixed-pitch face, so that
// fontconfig picks a monospaced stand-in when the named face is missing.
QFont FontFromSpec(const FontSpec &stored, bool fixedPitch);

// The stored form of a font; colour and character set are taken from base,
// which the font itself does not carry.
FontSpec SpecFromFont(const QFont &font, const FontSpec &base);
