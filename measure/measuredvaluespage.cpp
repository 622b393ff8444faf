#include "measure/measuredvaluespage.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/engine.h"
#include "measure/measuredgridview.h"
#include "measure/measurementlogbutton.h"

namespace {

// The page shares a fixed-size window with the connection panel; larger default fonts would
// push the third column out of it.
constexpr int kMaxPointSize = 9;

}  // namespace

MeasuredValuesPage::MeasuredValuesPage(QWidget* parent) : QWidget(parent) {
    if (font().pointSize() > kMaxPointSize) {
        QFont f = font();
        f.setPointSize(kMaxPointSize);
        setFont(f);
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    grid_ = new MeasuredGridView(QString(), 3, {}, this);
    outer->addWidget(grid_);
    outer->addStretch(1);

    // There is no report yet; the button is kept, hidden and inert, in its place on the grid.
    ButtonRep = new QPushButton(QStringLiteral("Отчет"), this);
    ButtonRep->setObjectName(QStringLiteral("ButtonRep"));
    ButtonRep->setEnabled(false);
    ButtonRep->setVisible(false);
    const int cell = MeasuredGridView::kGroupCount;
    grid_->grid()->addWidget(ButtonRep, cell / 3, cell % 3, Qt::AlignCenter);

    // At the foot of the same free cell, clear of the report button should it ever be shown.
    ButtonLogToFile = new MeasurementLogButton(QStringLiteral("ButtonLogToFile"), this);
    grid_->grid()->addWidget(ButtonLogToFile, cell / 3, cell % 3, Qt::AlignBottom | Qt::AlignRight);
    connect(this, &MeasuredValuesPage::measuredBlockShown, ButtonLogToFile,
            &MeasurementLogButton::logMeasuredBlock);
}

void MeasuredValuesPage::ShowMeasuredBlock(const quint8* block, int length) {
    if (block == nullptr || length < kMeasuredBlockDataLength)
        return;
    const QLocale numbers = locale();
    for (int k = 0; k < kParameterCount; ++k) {
        const MeasuredFloat v = FloatAt(block, k);
        // Most values read the same from one reply to the next: an unchanged field is left
        // alone so that it is neither laid out nor painted again.
        QLineEdit* f = grid_->field(k);
        const QString text = FormatMeasured(v.value, v.noInfo, MeasuredDecimals(k), numbers);
        if (f->text() != text)
            f->setText(text);
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&MeasuredValuesPage::measuredBlockShown)))
        emit measuredBlockShown(
            QByteArray(reinterpret_cast<const char*>(block), kMeasuredBlockDataLength));
}

void MeasuredValuesPage::ClearMeasuredValues() {
    grid_->clear();
}

QLineEdit* MeasuredValuesPage::field(int index) const {
    return grid_->field(index);
}

void MeasuredValuesPage::attach(LinkEngine* engine) {
    engine->setReplyHandler(this, RequestCode::MeasuredBlock, [this](const quint8* reply, int n) {
        if (n >= 3)
            ShowMeasuredBlock(reply + 3, n - 3);
    });
    // A failed exchange must not leave older values looking current.
    connect(engine, &LinkEngine::checksumError, this, &MeasuredValuesPage::ClearMeasuredValues);
    connect(engine, &LinkEngine::timedOut, this, &MeasuredValuesPage::ClearMeasuredValues);
    connect(engine, &LinkEngine::sendFailed, this, &MeasuredValuesPage::ClearMeasuredValues);
}
