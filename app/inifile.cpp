#include "app/inifile.h"

#include <QFile>
#include <QSaveFile>
// Debian builds the library with the ICU converter.
#define SI_CONVERT_ICU
#include <SimpleIni.h>

namespace {

enum class Load { Missing, Loaded, Unreadable };

Load load(const QString& path, CSimpleIniA& ini) {
    ini.SetUnicode(true);
    ini.SetSpaces(false);
    QFile f(path);
    if (!f.exists())
        return Load::Missing;
    if (!f.open(QIODevice::ReadOnly))
        return Load::Unreadable;
    const QByteArray data = f.readAll();
    // A file with NUL bytes is not a configuration file someone wrote; leave it alone.
    if (data.contains('\0'))
        return Load::Unreadable;
    if (ini.LoadData(data.constData(), size_t(data.size())) < 0)
        return Load::Unreadable;
    return Load::Loaded;
}

}  // namespace

int IniFile::readInt(const char* section, const char* key, int def, bool* ok) const {
    if (ok)
        *ok = true;
    CSimpleIniA ini;
    const Load l = load(path_, ini);
    if (l == Load::Unreadable) {
        if (ok)
            *ok = false;
        return def;
    }
    const char* v = ini.GetValue(section, key, nullptr);
    if (!v)
        return def;
    bool converted = false;
    const int n = QString::fromUtf8(v).trimmed().toInt(&converted);
    if (!converted) {
        if (ok)
            *ok = false;
        return def;
    }
    return n;
}

QString IniFile::readString(const char* section, const char* key, const QString& def) const {
    CSimpleIniA ini;
    if (load(path_, ini) != Load::Loaded)
        return def;
    const char* v = ini.GetValue(section, key, nullptr);
    return v ? QString::fromUtf8(v) : def;
}

bool IniFile::writeInt(const char* section, const char* key, int value) {
    return write(section, key, QString::number(value));
}

bool IniFile::writeString(const char* section, const char* key, const QString& value) {
    return write(section, key, value);
}

bool IniFile::write(const char* section, const char* key, const QString& value) {
    CSimpleIniA ini;
    if (load(path_, ini) == Load::Unreadable) {
        error_ = QStringLiteral("Файл настроек %1 не читается и не будет перезаписан").arg(path_);
        return false;
    }
    ini.SetValue(section, key, value.toUtf8().constData());
    std::string text;
    if (ini.Save(text) < 0) {
        error_ = QStringLiteral("Не удалось подготовить файл настроек %1").arg(path_);
        return false;
    }
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(text.data(), qint64(text.size())) != qint64(text.size()) || !out.commit()) {
        error_ = QStringLiteral("Не удалось записать файл настроек %1: %2")
                     .arg(path_, out.errorString());
        return false;
    }
    return true;
}

QString IniFile::portOverride(int n) const {
    CSimpleIniA ini;
    if (load(path_, ini) != Load::Loaded)
        return {};
    const QByteArray key = QStringLiteral("COM%1").arg(n).toUtf8();
    const char* v = ini.GetValue("Порты", key.constData(), nullptr);
    return v ? QString::fromUtf8(v).trimmed() : QString();
}
