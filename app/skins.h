#pragma once
#include <QColor>
#include <QString>
#include <QStringList>

// The built-in visual skins, by the names the skin selector shows and "SkinName" stores.
QStringList SkinNames();
// Gives the whole application the look of the named skin: the Fusion style with the skin's
// palette and a small style sheet for tabs and group titles. False, and nothing changes, for
// an empty or unknown name.
bool ApplySkin(const QString& name);

// Contrast ratio of two colours, 1 (same) to 21 (black on white), by relative luminance.
double ContrastRatio(const QColor& a, const QColor& b);
