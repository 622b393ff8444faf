#include "app/trafficmonitorwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "link/engine.h"
#include "link/trafficlog.h"
#include "measure/infochannelview.h"
#include "widgets/messagebox.h"

QString ChannelWindowDescription(infochannel::ScanResult result, const QByteArray& packet) {
    using namespace infochannel;
    switch (result) {
        case ScanResult::NoPacket:
            return QStringLiteral("пакета нет");
        case ScanResult::ChecksumError:
            return QStringLiteral("пакет с неверной КС");
        case ScanResult::Packet:
            break;
    }
    if (packet.size() < kPacketLength)
        return QStringLiteral("пакет неполный (%1 байт)").arg(packet.size());
    const ChannelPacket p =
        DecodeChannelPacket(reinterpret_cast<const quint8*>(packet.constData()) + kBodyOffset);
    return QStringLiteral("пакет, состояние: %1, U пред. %2, I пред. %3, версия %4")
        .arg(StatusText(p.status).trimmed(), LimitValueText(p.bases.voltage),
             LimitValueText(p.bases.current))
        .arg(int(p.version));
}

namespace {

// The filter with the look of each row: faults tinted so that they stand out on any skin,
// the frame bytes in a fixed-width font so that they line up.
class TrafficViewModel : public TrafficErrorFilter {
  public:
    using TrafficErrorFilter::TrafficErrorFilter;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::BackgroundRole) {
            switch (
                TrafficKind(TrafficErrorFilter::data(index, TrafficLogModel::KindRole).toInt())) {
                case TrafficKind::Exception:
                    return QColor(255, 160, 0, 70);
                case TrafficKind::BadChecksum:
                case TrafficKind::Timeout:
                case TrafficKind::SendFailed:
                case TrafficKind::ChannelError:
                    return QColor(255, 40, 40, 70);
                case TrafficKind::ChannelPacket:
                    return QColor(60, 140, 255, 45);
                default:
                    return {};
            }
        }
        if (role == Qt::FontRole && index.column() == TrafficLogModel::FrameColumn)
            return fixedFont_;
        return TrafficErrorFilter::data(index, role);
    }

  private:
    QFont fixedFont_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
};

}  // namespace

TrafficMonitorWindow::TrafficMonitorWindow(Clock* clock, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TrafficMonitor"));
    setWindowTitle(QStringLiteral("Монитор обмена"));
    // Closing the main window ends the program even while the monitor is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    model_ = new TrafficLogModel(clock, this);
    filter_ = new TrafficViewModel(this);
    filter_->setSourceModel(model_);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("monitorTable"));
    table_->setModel(filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    table_->verticalHeader()->hide();
    // Fixed row heights: the view never measures ten thousand rows.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* h = table_->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setSectionResizeMode(TrafficLogModel::DecodedColumn, QHeaderView::Stretch);
    h->setStretchLastSection(false);
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table_->setColumnWidth(TrafficLogModel::TimeColumn,
                           fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    table_->setColumnWidth(TrafficLogModel::DirectionColumn,
                           fontMetrics().horizontalAdvance(QStringLiteral("Напр.")) + 16);
    table_->setColumnWidth(TrafficLogModel::FrameColumn,
                           fixed.horizontalAdvance(QString(3 * 13, u'0')) + 12);
    table_->setColumnWidth(TrafficLogModel::ReplyColumn,
                           fontMetrics().horizontalAdvance(QStringLiteral("Ответ, мс")) + 16);
    table_->installEventFilter(this);

    pause_ = new QPushButton(QStringLiteral("Пауза"), this);
    pause_->setObjectName(QStringLiteral("monitorPause"));
    pause_->setCheckable(true);
    clear_ = new QPushButton(QStringLiteral("Очистить"), this);
    clear_->setObjectName(QStringLiteral("monitorClear"));
    errorsOnly_ = new QCheckBox(QStringLiteral("Только ошибки"), this);
    errorsOnly_->setObjectName(QStringLiteral("monitorErrorsOnly"));
    copy_ = new QPushButton(QStringLiteral("Копировать"), this);
    copy_->setObjectName(QStringLiteral("monitorCopy"));
    save_ = new QPushButton(QStringLiteral("Сохранить…"), this);
    save_->setObjectName(QStringLiteral("monitorSave"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("monitorStatus"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear_);
    buttons->addWidget(errorsOnly_);
    buttons->addStretch(1);
    buttons->addWidget(status_);
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table_, 1);

    connect(pause_, &QPushButton::toggled, model_, &TrafficLogModel::setPaused);
    connect(clear_, &QPushButton::clicked, model_, &TrafficLogModel::clear);
    connect(errorsOnly_, &QCheckBox::toggled, filter_, &TrafficErrorFilter::setErrorsOnly);
    connect(copy_, &QPushButton::clicked, this, &TrafficMonitorWindow::copySelection);
    connect(save_, &QPushButton::clicked, this, &TrafficMonitorWindow::chooseFileAndSave);
    connect(model_, &TrafficLogModel::pendingChanged, this, &TrafficMonitorWindow::updateStatus);

    // The newest line stays in sight unless the operator has scrolled up to read; then what
    // they read stays put while old lines drop off the top.
    QScrollBar* bar = table_->verticalScrollBar();
    connect(filter_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, bar] { followBottom_ = bar->value() >= bar->maximum(); });
    connect(filter_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (followBottom_)
            table_->scrollToBottom();
        updateStatus();
    });
    connect(filter_, &QAbstractItemModel::rowsRemoved, this,
            [this, bar](const QModelIndex&, int first, int last) {
                if (!followBottom_ && last < bar->value())
                    bar->setValue(bar->value() - (last - first + 1));
            });
    connect(filter_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, bar] { followBottom_ = bar->value() >= bar->maximum(); });
    connect(filter_, &QAbstractItemModel::modelReset, this, [this] {
        followBottom_ = true;
        updateStatus();
    });
    connect(filter_, &QAbstractItemModel::layoutChanged, this, [this] {
        table_->scrollToBottom();
        updateStatus();
    });
    resize(1100, 520);
    updateStatus();
}

void TrafficMonitorWindow::attach(LinkEngine* engine) {
    model_->attach(engine);
}

void TrafficMonitorWindow::attachChannel(InfoChannelView* view) {
    connect(view, &InfoChannelView::channelWindowScanned, model_,
            [this](infochannel::ScanResult result, const QByteArray& packet) {
                model_->addChannelWindow(result == infochannel::ScanResult::Packet, packet,
                                         ChannelWindowDescription(result, packet));
            });
}

void TrafficMonitorWindow::updateStatus() {
    QString text =
        QStringLiteral("строк: %1 из %2")
            .arg(QLocale().toString(model_->rowCount()), QLocale().toString(model_->bound()));
    if (model_->paused())
        text +=
            QStringLiteral("; пауза, новых: %1").arg(QLocale().toString(model_->pendingCount()));
    status_->setText(text);
}

void TrafficMonitorWindow::copySelection() {
    QList<int> rows;
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    for (const QModelIndex& i : selected)
        rows << filter_->mapToSource(i).row();
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty())
        return;
    QApplication::clipboard()->setText(model_->rowsText(rows));
}

QString TrafficMonitorWindow::saveTo(const QString& path) {
    QString error;
    if (model_->saveToFile(path, &error))
        return {};
    return error;
}

void TrafficMonitorWindow::chooseFileAndSave() {
    const QString name =
        QStringLiteral("обмен-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить журнал обмена"), name,
                                     QStringLiteral("Текст (*.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    const QString error = saveTo(path);
    if (!error.isEmpty())
        messagebox::ShowError(error, this);
}

bool TrafficMonitorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy)) {
            if (event->type() == QEvent::KeyPress)
                copySelection();
            event->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
