#include "app/skins.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace {

struct Skin {
    const char* name;
    QRgb window;
    QRgb button;
    QRgb base;
    QRgb text;
    QRgb accent;
};

// clang-format off
const Skin kSkins[] = {
    {"Beijing (internal)",        0xF3E3C3, 0xE8C98F, 0xFFF8EA, 0x3A1F0B, 0xB22222},
    {"BlueIce (internal)",        0xDCEBF7, 0xBCD6EE, 0xF5FAFF, 0x0F2A44, 0x2E7BC4},
    {"DarkGlass (internal)",      0x2B2F36, 0x3A4049, 0x1E2126, 0xE6E9EE, 0x5AA0E0},
    {"Desert (internal)",         0xE9D8B4, 0xD9BF8C, 0xF7EEDB, 0x3B2E1A, 0xC0762A},
    {"FalloutStyle (internal)",   0x1D2A1A, 0x2E4129, 0x121A10, 0x9CFF8A, 0x6BD35A},
    {"Golden (internal)",         0xF4E7B0, 0xE6C866, 0xFFFBEA, 0x3D2F00, 0xB8860B},
    {"Ledenets (internal)",       0xF8E1EC, 0xF1B9D2, 0xFFF5FA, 0x4A1030, 0xD0407F},
    {"Neutral (internal)",        0xECECEC, 0xDDDDDD, 0xFFFFFF, 0x000000, 0x3875D7},
    {"NextAlpha (internal)",      0xE4E6EB, 0xC9CDD6, 0xFAFBFC, 0x1B1E24, 0x6A4FC9},
    {"SoapSky - Lime (internal)", 0xE8F5D8, 0xC6E69A, 0xF9FFF1, 0x213B0A, 0x6FAF1E},
    {"Terminal4bit (internal)",   0x000080, 0x008080, 0x000000, 0xFFFFFF, 0xFFFF00},
    {"WMP11 (internal)",          0x1C1F26, 0x30353F, 0x101216, 0xDCE3EC, 0x3FA7E0},
    {"Wood (internal)",           0xC8A27A, 0xA97C50, 0xEEDCC5, 0x2B1806, 0x6B3E12},
};
// clang-format on

const Skin* find(const QString& name) {
    for (const Skin& s : kSkins)
        if (name == QLatin1String(s.name))
            return &s;
    return nullptr;
}

}  // namespace

QStringList SkinNames() {
    QStringList names;
    for (const Skin& s : kSkins)
        names << QString::fromLatin1(s.name);
    return names;
}

bool ApplySkin(const QString& name) {
    const Skin* s = find(name);
    if (!s)
        return false;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QColor window(s->window), button(s->button), base(s->base), text(s->text),
        accent(s->accent);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Highlight, accent);
    p.setColor(QPalette::HighlightedText, base);
    p.setColor(QPalette::Disabled, QPalette::Text, text.lighter(250));
    p.setColor(QPalette::Disabled, QPalette::WindowText, window.darker(160));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, button.darker(160));
    QApplication::setPalette(p);
    qApp->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; color: %1; }"
                                       "QGroupBox QLabel, QGroupBox QLineEdit, QGroupBox QComboBox,"
                                       " QGroupBox QPushButton, QGroupBox QCheckBox"
                                       " { font-weight: normal; }"
                                       "QTabBar::tab:selected { color: %1; }")
                            .arg(accent.name()));
    return true;
}
