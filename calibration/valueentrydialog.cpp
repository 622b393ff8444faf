#include "calibration/valueentrydialog.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "calibration/valueentry.h"
#include "widgets/messagebox.h"

namespace {
constexpr int kClientWidth = 261;
constexpr int kClientHeight = 61;

// Focus that moves because another window became active (a message box, another program)
// has not left the edit as far as the operator is concerned.
bool windowSwitch(Qt::FocusReason reason) {
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}
}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("Введите значение"));
    // A fixed single border with only the close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    // It has no parent (see the header), and an open dialog must not keep the program running
    // once the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidth, kClientHeight);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    outer->addWidget(panel);

    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 6, 8, 6);
    EditImpValue = new QLineEdit(panel);
    EditImpValue->setObjectName(QStringLiteral("EditImpValue"));
    EditImpValue->setAccessibleName(QStringLiteral("Введите значение"));
    ButtonEnterVal = new QPushButton(QStringLiteral("Ввод"), panel);
    ButtonEnterVal->setObjectName(QStringLiteral("ButtonEnterVal"));
    // Enter in the edit confirms through the edit's own handler; the button must not take it
    // a second time as the dialog's default.
    ButtonEnterVal->setAutoDefault(false);
    ButtonEnterVal->setDefault(false);
    row->addWidget(EditImpValue, 1);
    row->addWidget(ButtonEnterVal);
    setTabOrder(EditImpValue, ButtonEnterVal);

    EditImpValue->installEventFilter(this);
    connect(EditImpValue, &QLineEdit::textChanged, this, &TForm2::EditImpValueChange);
    connect(ButtonEnterVal, &QPushButton::clicked, this, &TForm2::ButtonEnterValClick);
}

void TForm2::openAt(QPoint position, const QString& text) {
    move(position);
    present();
    FormActivate(text);
}

void TForm2::present() {
    show();
    raise();
    activateWindow();
}

void TForm2::FormActivate(const QString& readingText) {
    EditImpValue->setText(readingText);
    EditImpValue->setFocus(Qt::OtherFocusReason);
    // The focus event comes only when the platform activates the window; the text to fall
    // back to must be the reading's at once.
    EditImpValueEnter();
}

void TForm2::EditImpValueEnter() {
    rememberedText_ = EditImpValue->text();
}

// An invalid keystroke is undone at once by going back to the text remembered when the edit
// was entered or a value confirmed, not to the text before the keystroke.
void TForm2::EditImpValueChange() {
    const QString text = EditImpValue->text();
    if (text.isEmpty() || valueentry::IsValidText(text, locale()))
        return;
    const QString fallback =
        valueentry::IsValidText(rememberedText_, locale()) ? rememberedText_ : QString();
    const int cursor = EditImpValue->cursorPosition() - int(text.size() - fallback.size());
    EditImpValue->setText(fallback);
    EditImpValue->setCursorPosition(std::clamp(cursor, 0, int(fallback.size())));
}

// An empty field stays empty: confirming it must say that nothing was given rather than write
// a zero the operator never typed.
void TForm2::EditImpValueExit() {
    const QString text = EditImpValue->text();
    if (!text.isEmpty() && !valueentry::IsValidText(text, locale()))
        EditImpValue->setText(QStringLiteral("0"));
}

void TForm2::ButtonEnterValClick() {
    const QString text = EditImpValue->text();
    rememberedText_ = text;
    const valueentry::Entry entry = valueentry::ParseEntry(text, locale());
    switch (entry.status) {
        case valueentry::Status::Ok:
            emit valueEntered(entry.value);
            return;
        case valueentry::Status::Empty:
            messagebox::Show(QString::fromUtf8(valueentry::kNotGiven), this);
            return;
        case valueentry::Status::NotANumber:
        case valueentry::Status::OutOfRange:
            messagebox::ShowError(valueentry::ConversionError(text), this);
            return;
    }
}

void TForm2::done(int result) {
    const bool wasShown = isVisible();
    QDialog::done(result);
    if (wasShown)
        emit closed();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EditImpValue) {
        switch (event->type()) {
            case QEvent::FocusIn:
                if (!windowSwitch(static_cast<QFocusEvent*>(event)->reason()))
                    EditImpValueEnter();
                break;
            case QEvent::FocusOut:
                if (!windowSwitch(static_cast<QFocusEvent*>(event)->reason()))
                    EditImpValueExit();
                break;
            case QEvent::KeyPress: {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                    ButtonEnterValClick();
                    return true;
                }
                break;
            }
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
