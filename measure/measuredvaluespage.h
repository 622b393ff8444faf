#pragma once
#include <QByteArray>
#include <QWidget>

#include "measure/catalogue.h"

class LinkEngine;
class MeasuredGridView;
class MeasurementLogButton;
class QLineEdit;
class QPushButton;

// The "Измеряемая информация" sub-page: the 29 measured values as read-only text fields,
// grouped by quantity. It keeps no numbers; every read replaces all texts, every failed
// exchange empties them.
//
// Numbers are formatted with the widget's locale(), which is the user's regional setting unless
// setLocale() gives another (the tests do).
class MeasuredValuesPage : public QWidget {
    Q_OBJECT
  public:
    explicit MeasuredValuesPage(QWidget* parent = nullptr);

    // `block` is the reply's data area, the bytes after its three-byte header. A shorter area
    // than the block's 116 bytes leaves the fields as they are.
    void ShowMeasuredBlock(const quint8* block, int length);
    void ClearMeasuredValues();

    // Takes the replies of the measured-value read and empties the fields when an exchange
    // fails.
    void attach(LinkEngine* engine);

    // The field that shows catalogue parameter `index`, or nullptr outside 0 to 28.
    QLineEdit* field(int index) const;

  signals:
    // A measured block was shown: `block` is the reply's data area (116 bytes). The
    // measurement logger and the trend chart take the values from here.
    void measuredBlockShown(const QByteArray& block);

  private:
    MeasuredGridView* grid_ = nullptr;
    QPushButton* ButtonRep = nullptr;
    MeasurementLogButton* ButtonLogToFile = nullptr;
};
