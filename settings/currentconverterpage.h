#pragma once
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "measure/catalogue.h"

class QComboBox;

// The sub-page "Токовый преобразователь" of the external devices: the channel selection of a
// current converter, offered only. Nothing is exchanged for it and its selectors have no
// handlers.
class CurrentConverterPage : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSelectorCount = 6;

    explicit CurrentConverterPage(const PageContext& ctx, QWidget* parent = nullptr);

    QComboBox* selector(int k) const;

  private:
    std::array<QComboBox*, kSelectorCount> CBCurParamName{};
};
