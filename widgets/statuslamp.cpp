#include "widgets/statuslamp.h"

#include <QPainter>

#include "link/lampstate.h"

StatusLamp::StatusLamp(QWidget* parent) : QWidget(parent) {
    unlitColor_ = palette().color(QPalette::Button);
    setFixedSize(16, 16);
}

void StatusLamp::bind(LampState* state) {
    state_ = state;
    connect(state_, &LampState::changed, this, &StatusLamp::follow);
    follow();
}

void StatusLamp::follow() {
    setVisible(state_->visible());
    lit_ = state_->lit();
    litColor_ = QColor::fromRgb(state_->litColor());
    update();
}

void StatusLamp::setLit(bool on) {
    lit_ = on;
    update();
}

void StatusLamp::setLitColor(const QColor& c) {
    litColor_ = c;
    update();
}

void StatusLamp::setUnlitColor(const QColor& c) {
    unlitColor_ = c;
    update();
}

void StatusLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = lit_ ? litColor_ : unlitColor_;
    p.setPen(QPen(fill.darker(170), 1));
    QRadialGradient g(QPointF(width() * 0.35, height() * 0.35), width() * 0.7);
    g.setColorAt(0, fill.lighter(lit_ ? 160 : 115));
    g.setColorAt(1, fill);
    p.setBrush(g);
    p.drawEllipse(rect().adjusted(1, 1, -1, -1));
}
