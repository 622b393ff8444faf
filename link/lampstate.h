#pragma once
#include <QObject>
#include <QtGlobal>

// State of a status lamp: visible, lit, and the colour it shows when lit (0xRRGGBB).
// The lamp widgets on the pages follow it through changed().
class LampState : public QObject {
    Q_OBJECT
  public:
    static constexpr quint32 kGreen = 0x00FF00;
    static constexpr quint32 kRed = 0xFF0000;
    static constexpr quint32 kBlue = 0x0000FF;

    using QObject::QObject;
    bool visible() const { return visible_; }
    bool lit() const { return lit_; }
    quint32 litColor() const { return litColor_; }
    void setVisible(bool v) { update(visible_, v); }
    void setLit(bool l) { update(lit_, l); }
    void setLitColor(quint32 c) { update(litColor_, c); }

  signals:
    void changed();

  private:
    template <typename T>
    void update(T& field, T value) {
        if (field == value)
            return;
        field = value;
        emit changed();
    }
    bool visible_ = true;
    bool lit_ = false;
    quint32 litColor_ = kGreen;
};
