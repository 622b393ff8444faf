#pragma once
#include <QList>
#include <QString>
#include <QWidget>
#include <array>

#include "measure/catalogue.h"

class QGridLayout;
class QLineEdit;

// The 29 measured quantities as read-only text fields in eight captioned groups (voltages,
// line voltages, currents, the three powers, power factors, frequency), each field captioned
// by its row label. Several pages show the same set; they differ in how many groups fit in a
// row and in the names of the controls, so that two such pages in one window never share an
// objectName.
//
// Names: a field is "Edit" + infix + suffix ("EditUa", or "EditChanUa" with the infix
// "Chan"), its caption "Label" + infix + suffix, the line before a total or average row
// "Bevel" + infix + suffix, a group "GroupBox" + infix + group suffix, the grid "Grid" + infix
// + "Groups".
class MeasuredGridView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kGroupCount = 8;
    enum Group {
        Voltage,
        LineVoltage,
        Current,
        ActivePower,
        ReactivePower,
        ApparentPower,
        PowerFactor,
        Frequency,
    };

    // `columns` groups per row of the grid, placed left to right, then top to bottom, in the
    // order `order` gives (all eight groups), by default the order of Group.
    MeasuredGridView(const QString& nameInfix, int columns, const QList<Group>& order = {},
                     QWidget* parent = nullptr);

    // The field of catalogue parameter `index`, or nullptr outside 0 to 28.
    QLineEdit* field(int index) const;
    // The grid of the groups; its cells after the last group are free for the owner.
    QGridLayout* grid() const { return grid_; }
    int columns() const { return columns_; }

    void clear();

  private:
    std::array<QLineEdit*, kParameterCount> fields_{};
    QGridLayout* grid_ = nullptr;
    int columns_;
};
