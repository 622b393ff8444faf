#pragma once
#include <QString>

// The configuration file "Tervex.ini", opened by its bare name (so in the working directory)
// for each single read or write: a change made by hand between two operations is seen, and
// nothing is cached.
//
// The file is UTF-8 text in the usual INI form. Section and key names compare without regard
// to case, the first of duplicate sections or keys counts, ';' and '#' start comment lines,
// and a value may stand in double quotes. A write changes the one line of its key, or adds
// one, and leaves every other byte as it was, so comments, blank lines and the sections and
// keys this program does not know survive. It goes through a temporary file that replaces
// the old one, so a crash or a full disk never leaves a half-written file behind.
class IniFile {
  public:
    explicit IniFile(QString path = QStringLiteral("Tervex.ini")) : path_(std::move(path)) {}

    // A missing file or key, and a value that is not a decimal integer fitting an int (empty,
    // a word, too many digits), give `def`. *ok is false, and `def` is returned, only when the
    // file exists but cannot be read.
    int readInt(const QString& section, const QString& key, int def, bool* ok = nullptr) const;
    // As readInt, without the integer check.
    QString readString(const QString& section, const QString& key, const QString& def,
                       bool* ok = nullptr) const;

    // False, with the reason in error(), when the value could not be stored. An existing file
    // that cannot be read is never replaced, since its content would be lost.
    bool writeInt(const QString& section, const QString& key, int value);
    bool writeString(const QString& section, const QString& key, const QString& value);
    // The operator-readable reason of the last failed write.
    QString error() const { return error_; }

    // Device path for COM n from the section "Порты" (key "COM<n>"), or an empty string. Lets
    // a machine without /dev/ttyS* map a port number to a USB adapter or a virtual line.
    QString portOverride(int n) const;

    QString path() const { return path_; }

  private:
    QString path_;
    QString error_;
};
