#pragma once
#include <QString>

// The configuration file "Tervex.ini", opened by its bare name (so in the working directory)
// for each single read or write: a change made by hand between two operations is seen, and
// nothing is cached.
//
// The file is text in the usual INI form, in UTF-8 (with or without its byte order mark) or,
// as a Windows machine writes it by hand, in the Windows Cyrillic code page (Windows-1251).
// A file that is valid UTF-8 counts as UTF-8; one with the UTF-8 mark and other bytes after
// it cannot be read. A new file is UTF-8, and a write keeps the encoding the file has.
// Section and key names compare without regard to case, the first of duplicate sections or
// keys counts, ';' and '#' start comment lines, and a value may stand in double quotes. A write
// changes the one line of its key, or adds one, and leaves every other byte as it was, so comments,
// blank lines and the sections and keys this program does not know survive. It goes through a
// temporary file that replaces the old one, so a crash or a full disk never leaves a half-written
// file behind.
class IniFile {
  public:
    explicit IniFile(QString path = QStringLiteral("Tervex.ini")) : path_(std::move(path)) {}

    // A missing file or key, and a value that is not a decimal integer fitting an int (empty,
    // a word, too many digits), give `def`. *ok is false, and `def` is returned, only when the
    // file exists but cannot be read or is no text in either encoding (a UTF-8 character cut
    // off at the end counts as such unless the bytes read as Windows-1251).
    int readInt(const QString& section, const QString& key, int def, bool* ok = nullptr) const;
    // As readInt, without the integer check.
    QString readString(const QString& section, const QString& key, const QString& def,
                       bool* ok = nullptr) const;

    // False, with the reason in error(), when the value could not be stored: a value holding a
    // control character other than tab (a line break would split the line, a NUL would make
    // the file unreadable), a value the file's encoding cannot carry, a file that cannot be
    // read (never replaced, since its content would be lost) or written.
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
