#include "measure/infochannelview.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "link/engine.h"
#include "link/serialport.h"
#include "link/timer.h"
#include "measure/measuredgridview.h"
#include "measure/measurementlogbutton.h"
#include "widgets/caption.h"

namespace {

// The colours of the device's state: green for normal, red for an error or no information;
// lighter shades on a dark skin, where the plain ones cannot be read.
QColor stateColor(bool good, const QWidget* on) {
    const bool dark = on->palette().color(QPalette::Window).lightness() < 128;
    if (good)
        return dark ? QColor(96, 208, 96) : QColor(0, 128, 0);
    return dark ? QColor(255, 96, 96) : QColor(255, 0, 0);
}

// Same cap as the measured-values page: the window has a fixed size.
constexpr int kMaxPointSize = 9;
constexpr int kStatusWidth = 90;

QLabel* statusField(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(kStatusWidth);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

void setStateColor(QLabel* label, bool good) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, stateColor(good, label));
    label->setPalette(p);
}

}  // namespace

InfoChannelView::InfoChannelView(const PageContext& ctx, LinkTimer* timerChanInfo, QWidget* parent)
    : QWidget(parent), ctx_(ctx), TimerChanInfo(timerChanInfo) {
    setObjectName(QStringLiteral("InfoChannelView"));
    if (font().pointSize() > kMaxPointSize) {
        QFont f = font();
        f.setPointSize(kMaxPointSize);
        setFont(f);
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);

    auto* status = new QHBoxLayout;
    status->setSpacing(6);
    StaticTextRelU = statusField("StaticTextRelU", this);
    StaticTextRelI = statusField("StaticTextRelI", this);
    StaticTextVers = statusField("StaticTextVers", this);
    StaticTextDevSatus = statusField("StaticTextDevSatus", this);
    const std::pair<const char*, QLabel*> row[] = {
        {"Предельное\nзначение напряжения:", StaticTextRelU},
        {"Предельное\nзначение тока:", StaticTextRelI},
        {"Версия\nпрограммы:", StaticTextVers},
        {"Состояние\nприбора:", StaticTextDevSatus},
    };
    for (const auto& [caption, field] : row) {
        QLabel* label = CaptionFor(QString::fromUtf8(caption), field, this);
        label->setObjectName(QStringLiteral("Label") + field->objectName().mid(10));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        status->addWidget(label);
        status->addWidget(field);
        status->addSpacing(8);
    }
    status->addStretch(1);
    ButtonChanLogToFile = new MeasurementLogButton(QStringLiteral("ButtonChanLogToFile"), this);
    status->addWidget(ButtonChanLogToFile);
    outer->addLayout(status);

    // A line of its own: the message is wider than what the status row leaves free.
    LabelChanInfoMess = new QLabel(this);
    LabelChanInfoMess->setObjectName(QStringLiteral("LabelChanInfoMess"));
    LabelChanInfoMess->setTextFormat(Qt::PlainText);
    QFont bold = LabelChanInfoMess->font();
    bold.setBold(true);
    LabelChanInfoMess->setFont(bold);
    LabelChanInfoMess->setMinimumHeight(QFontMetrics(bold).height());
    outer->addWidget(LabelChanInfoMess);

    using G = MeasuredGridView::Group;
    grid_ = new MeasuredGridView(QStringLiteral("Chan"), 4,
                                 {G::Voltage, G::LineVoltage, G::Current, G::PowerFactor,
                                  G::ActivePower, G::ReactivePower, G::ApparentPower, G::Frequency},
                                 this);
    outer->addWidget(grid_);
    outer->addStretch(1);

    connect(ctx_.engine, &LinkEngine::channelBytesAvailable, this,
            &InfoChannelView::ReceiveChannelData);
    connect(TimerChanInfo, &LinkTimer::timeout, this, &InfoChannelView::TimerChanInfoTimer);
    connect(this, &InfoChannelView::channelWindowScanned, ButtonChanLogToFile,
            &MeasurementLogButton::logChannelWindow);
}

QLineEdit* InfoChannelView::field(int index) const {
    return grid_->field(index);
}

void InfoChannelView::clearTexts() {
    for (QLabel* l : {StaticTextRelU, StaticTextRelI, StaticTextVers, StaticTextDevSatus})
        l->clear();
    grid_->clear();
}

void InfoChannelView::EnterChannelMode() {
    clearTexts();
    LabelChanInfoMess->clear();
    SerialPort* port = ctx_.engine->port();
    if (!port->flushInBuffer() || !port->flushOutBuffer())
        ctx_.engine->notifyError(port->errorString());
    ctx_.engine->setChannelMode(true);
    TimerChanInfo->setEnabled(true);
}

// The notification's count is not relied on: what is waiting now is read, so that bytes that
// came after the notification was raised are not left behind to be dropped unseen.
void InfoChannelView::ReceiveChannelData(int /*count*/) {
    using namespace infochannel;
    SerialPort* port = ctx_.engine->port();
    const int waiting = port->inBuffUsed();
    if (waiting < kWindowLength)
        return;
    const int length = std::min(waiting, int(ReplyBuffer.size()));
    if (port->getBlock(ReplyBuffer.data(), length)) {
        const ScanResult result =
            ScanChannelWindow(ReplyBuffer.data(), kWindowLength, ChannelPacket);
        emit channelWindowScanned(
            result,
            result == ScanResult::Packet
                ? QByteArray(reinterpret_cast<const char*>(ChannelPacket.data()), kPacketLength)
                : QByteArray());
        switch (result) {
            case ScanResult::Packet:
                TimerChanInfo->setEnabled(false);
                ShowChannelPacket(ChannelPacket.data() + kBodyOffset);
                break;
            case ScanResult::ChecksumError:
                emit statusText(QString::fromUtf8(linktext::kChecksumError));
                break;
            case ScanResult::NoPacket:
                break;
        }
    } else {
        // The buffer still holds the last window; scanning it again would show an old packet
        // as new.
        ctx_.engine->notify(QString::fromUtf8(linktext::kReceiveError));
    }
    port->flushInBuffer();
    // Restarts the watch after a good packet; otherwise it keeps running on its count.
    TimerChanInfo->setEnabled(true);
}

void InfoChannelView::ShowChannelPacket(const quint8* body) {
    using namespace infochannel;
    const infochannel::ChannelPacket p = DecodeChannelPacket(body);
    const QLocale numbers = locale();

    LabelChanInfoMess->clear();
    StaticTextDevSatus->setText(StatusText(p.status));
    setStateColor(StaticTextDevSatus, p.status == 0);
    StaticTextRelU->setText(LimitValueText(p.bases.voltage, numbers));
    StaticTextRelI->setText(LimitValueText(p.bases.current, numbers));
    StaticTextVers->setText(QString::number(int(p.version)));
    for (int k = 0; k < kParameterCount; ++k)
        grid_->field(k)->setText(ChannelValueText(k, p.patterns[size_t(k)], p.bases, numbers));
}

void InfoChannelView::ClearChannelPage() {
    clearTexts();
    setStateColor(StaticTextDevSatus, false);
    setStateColor(LabelChanInfoMess, false);
    LabelChanInfoMess->setText(QString::fromUtf8(infochannel::kAbsent));
}

void InfoChannelView::TimerChanInfoTimer() {
    if (ctx_.engine->channelMode())
        ClearChannelPage();
}
