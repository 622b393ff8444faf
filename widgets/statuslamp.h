#pragma once
#include <QColor>
#include <QWidget>

class LampState;

// A round status lamp: lit in its lit colour, or dark in its unlit colour. Bound to a
// LampState it follows that state's visibility, lit flag and colour.
class StatusLamp : public QWidget {
    Q_OBJECT
  public:
    explicit StatusLamp(QWidget* parent = nullptr);

    void bind(LampState* state);
    bool lit() const { return lit_; }
    QColor litColor() const { return litColor_; }
    QColor unlitColor() const { return unlitColor_; }
    void setLit(bool on);
    void setLitColor(const QColor& c);
    void setUnlitColor(const QColor& c);

    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    void follow();
    LampState* state_ = nullptr;
    bool lit_ = false;
    QColor litColor_ = Qt::green;
    QColor unlitColor_;
};
