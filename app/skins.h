#pragma once
#include <QString>
#include <QStringList>

// The built-in visual skins, by the names the skin selector shows.
QStringList SkinNames();
// Applies a skin to the whole application; false for an empty or unknown name.
bool ApplySkin(const QString& name);
