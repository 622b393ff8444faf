#pragma once
#include <QString>

// The configuration file "Tervex.ini" in the working directory, opened for each single read
// or write. Writes go to a temporary file that replaces the old one, so the file is never
// left half-written, and keep every section and key the program does not know.
class IniFile {
  public:
    explicit IniFile(QString path = QStringLiteral("Tervex.ini")) : path_(std::move(path)) {}

    // `ok` is false when the file exists but cannot be read, or the value is not an integer;
    // the default is returned then. A missing file or key gives the default with ok true.
    int readInt(const char* section, const char* key, int def, bool* ok = nullptr) const;
    QString readString(const char* section, const char* key, const QString& def) const;
    // False, with the reason in error(), when the file could not be written; an existing file
    // that cannot be read is never replaced.
    bool writeInt(const char* section, const char* key, int value);
    bool writeString(const char* section, const char* key, const QString& value);
    QString error() const { return error_; }

    // Device path configured for COM n in the section "Порты", or an empty string.
    QString portOverride(int n) const;

  private:
    bool write(const char* section, const char* key, const QString& value);
    QString path_;
    QString error_;
};
