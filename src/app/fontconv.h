#pragma once

#include "app/appsettings.h"

#include <QFont>

#include <functional>

class QFontDialog;
class QWidget;

// A stored font as a QFont. Viewer fonts ask for a fixed-pitch face, so that
// fontconfig picks a monospaced stand-in when the named face is missing.
QFont fontFromSpec(const FontSpec &stored, bool fixedPitch);

// The font a font dialog opens on: the face the viewer actually draws with,
// which is a stand-in when the stored face is not installed.
QFont fontForDialog(const FontSpec &stored);

// The stored form of a font; colour and character set are taken from base,
// which the font itself does not carry.
FontSpec specFromFont(const QFont &font, const FontSpec &base);

// Runs a font dialog on the font and takes the choice into it; false on
// Cancel. exec runs the dialog (unset: modally), so tests never block on it.
bool chooseFont(QWidget *parent, FontSpec &font,
                const std::function<bool(QFontDialog &)> &exec = {});
