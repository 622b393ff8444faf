#pragma once
#include <QString>
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "measure/infochannel.h"

class LinkTimer;
class MeasuredGridView;
class MeasurementLogButton;
class QLabel;
class QLineEdit;

// The information-channel page below its link group: the status row (voltage and current
// limits, program version, device state), the absence message and the 29 values of the last
// good packet. It listens to the stream while the engine is in channel mode and sends nothing.
//
// `timerChanInfo` is the window's absence watch (1000 ms, always running): a good packet
// restarts it, and each of its ticks in channel mode empties the page and shows
// "информация отсутствует". Numbers follow the widget's locale().
class InfoChannelView : public QWidget {
    Q_OBJECT
  public:
    InfoChannelView(const PageContext& ctx, LinkTimer* timerChanInfo, QWidget* parent = nullptr);

    // The page is being entered (after the port has been set to 9600 baud without parity):
    // what it showed before belongs to an earlier visit and is emptied; the port's buffers are
    // dropped, the engine hands the port's data to this page, the absence watch runs.
    void EnterChannelMode();
    // The data notification in channel mode: waits for a window of two packets' length, looks
    // for a good packet in it and shows it; the rest of the input is dropped.
    void ReceiveChannelData(int count);
    // `body` is a packet from its status byte (offset 5), infochannel::kBodyLength bytes.
    void ShowChannelPacket(const quint8* body);
    // The absence watch fired: nothing good came for a whole interval.
    void ClearChannelPage();

    QLineEdit* field(int index) const;
    QLabel* messageLabel() const { return LabelChanInfoMess; }

  signals:
    // A status-line message (a packet with a wrong checksum).
    void statusText(const QString& text);
    // A window of the stream was scanned: `packet` holds the whole packet found (empty for
    // NoPacket; for ChecksumError the window's first kPacketLength bytes from a start
    // sequence are not kept, so it is empty too).
    void channelWindowScanned(infochannel::ScanResult result, const QByteArray& packet);

  private:
    void TimerChanInfoTimer();
    void clearTexts();

    PageContext ctx_;
    LinkTimer* TimerChanInfo;
    MeasuredGridView* grid_ = nullptr;
    QLabel* StaticTextRelU = nullptr;
    QLabel* StaticTextRelI = nullptr;
    QLabel* StaticTextVers = nullptr;
    QLabel* StaticTextDevSatus = nullptr;
    QLabel* LabelChanInfoMess = nullptr;
    MeasurementLogButton* ButtonChanLogToFile = nullptr;
    std::array<quint8, 4096> ReplyBuffer{};
    std::array<quint8, infochannel::kPacketLength> ChannelPacket{};
};
