#pragma once
#include <QGroupBox>

class QComboBox;
class QLineEdit;
class QLabel;

// A page's group "Связь": the port selector, either speed and parity selectors or the fixed
// 9600/no-parity texts of the pages that always run so, and on two pages the logical number.
// The group only holds the controls; the window wires them to the port settings.
class LinkGroup : public QGroupBox {
    Q_OBJECT
  public:
    struct Names {
        const char* group = nullptr;
        const char* port = nullptr;
        const char* baud = nullptr;    // selector, or
        const char* parity = nullptr;  // selector, or
        const char* fixedBaudName = nullptr;
        const char* fixedBaud = nullptr;  // fixed text (speed)
        const char* fixedParityName = nullptr;
        const char* fixedParity = nullptr;  // fixed text (parity)
        bool fixedAsEdits = false;          // the fixed texts as read-only edits
        const char* address = nullptr;      // logical-number edit
    };

    explicit LinkGroup(const Names& names, QWidget* parent = nullptr);

    QComboBox* port() const { return port_; }
    QComboBox* baud() const { return baud_; }
    QComboBox* parity() const { return parity_; }
    QLineEdit* address() const { return address_; }

  private:
    QComboBox* port_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* parity_ = nullptr;
    QLineEdit* address_ = nullptr;
};
