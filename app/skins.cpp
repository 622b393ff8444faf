#include "app/skins.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace {

struct Skin {
    const char* name;
    QRgb window;
    QRgb button;
    QRgb base;
    QRgb text;
    QRgb accent;  // selection, selected tab and group titles
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
    {"Neutral (internal)",        0xEFEFEF, 0xE1E1E1, 0xFFFFFF, 0x000000, 0x3875D7},
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

bool isDark(const QColor& c) {
    return c.lightness() < 128;
}

QColor mix(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The accent as a text colour on `background`: darkened (or lightened on a dark skin) until
// it reads as well as body text should.
QColor readableOn(QColor accent, const QColor& background) {
    for (int i = 0; i < 20 && ContrastRatio(accent, background) < 4.5; ++i)
        accent = isDark(background) ? accent.lighter(115) : accent.darker(115);
    return accent;
}

QPalette paletteOf(const Skin& s) {
    const QColor window(s.window), button(s.button), base(s.base), text(s.text), accent(s.accent);
    // Derives the bevel shades (Light, Midlight, Mid, Dark, Shadow) from the button colour.
    QPalette p(button, window);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = g == QPalette::Disabled;
        p.setColor(g, QPalette::Window, window);
        p.setColor(g, QPalette::Base, off ? window : base);
        p.setColor(g, QPalette::AlternateBase, mix(base, window, 0.5));
        p.setColor(g, QPalette::Button, button);
        p.setColor(g, QPalette::WindowText, off ? mix(text, window, 0.55) : text);
        p.setColor(g, QPalette::Text, off ? mix(text, window, 0.55) : text);
        p.setColor(g, QPalette::ButtonText, off ? mix(text, button, 0.55) : text);
        p.setColor(g, QPalette::PlaceholderText, mix(text, base, 0.5));
        p.setColor(g, QPalette::Highlight, off ? mix(accent, window, 0.5) : accent);
        p.setColor(g, QPalette::HighlightedText,
                   ContrastRatio(accent, Qt::black) > ContrastRatio(accent, Qt::white) ? Qt::black
                                                                                       : Qt::white);
        p.setColor(g, QPalette::ToolTipBase, base);
        p.setColor(g, QPalette::ToolTipText, text);
        p.setColor(g, QPalette::Link, readableOn(accent, base));
        p.setColor(g, QPalette::BrightText, isDark(window) ? Qt::white : Qt::red);
    }
    return p;
}

QString styleSheetOf(const Skin& s) {
    const QColor window(s.window), button(s.button), text(s.text), accent(s.accent);
    const QColor border = isDark(window) ? window.lighter(170) : window.darker(135);
    // The selected tab and its page share one colour, a touch of the button colour over the
    // window, so that the tab reads as the page's handle; the other tabs wear the button.
    const QColor page = mix(window, button, 0.3);
    const QColor title = readableOn(accent, page);
    return QStringLiteral(
               "QTabWidget::pane { background: %1; border: 1px solid %2; top: -1px; }"
               "QTabBar::tab { background: %3; color: %4; border: 1px solid %2;"
               " border-top-left-radius: 3px; border-top-right-radius: 3px;"
               " padding: 3px 8px; margin-right: 1px; }"
               "QTabBar::tab:selected { background: %1; color: %5; border-bottom-color: %1;"
               " border-top: 2px solid %6; }"
               "QTabBar::tab:!selected { margin-top: 2px; }"
               "QTabBar::tab:hover:!selected { background: %7; }"
               "QTabBar::tab:disabled { color: %8; }"
               "QGroupBox::title { color: %5; }")
        .arg(page.name(), border.name(), button.name(), text.name(), title.name(), accent.name(),
             mix(button, accent, 0.2).name(), mix(text, button, 0.55).name());
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
    // Fusion draws from the palette alone, so every skin looks the same on every desktop.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(paletteOf(*s));
    qApp->setStyleSheet(styleSheetOf(*s));
    return true;
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
