#include "widgets/messagebox.h"

#include <QApplication>
#include <QComboBox>
#include <QLoggingCategory>
#include <QMessageBox>

Q_LOGGING_CATEGORY(lcMessages, "tervex.messages")

namespace messagebox {
namespace {
Answerer& answerer() {
    static Answerer a;
    return a;
}

void open(const QString& text, QMessageBox::Icon icon, QWidget* parent) {
    qCInfo(lcMessages) << text;
    if (answerer()) {
        answerer()(text);
        return;
    }
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, parent);
    box.exec();
}
}  // namespace

void Show(const QString& text, QWidget* parent) {
    open(text, QMessageBox::NoIcon, parent);
}
void ShowError(const QString& text, QWidget* parent) {
    open(text, QMessageBox::Critical, parent);
}
void SetAnswerer(Answerer a) {
    answerer() = std::move(a);
}

}  // namespace messagebox

bool CheckSelection(const QComboBox* list, QWidget* parent) {
    if (list && list->currentIndex() >= 0)
        return true;
    messagebox::Show(QString::fromUtf8(kIncorrectInformation), parent);
    return false;
}
