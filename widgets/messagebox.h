#pragma once
#include <QString>
#include <functional>

class QComboBox;
class QWidget;

// Every operator message goes through here: a modal box with one OK button and no caption of
// the program's own. Tests install an answerer so that nothing blocks.
namespace messagebox {

using Answerer = std::function<void(const QString& text)>;

void Show(const QString& text, QWidget* parent = nullptr);
// The toolkit-level error report of a handler that could not finish.
void ShowError(const QString& text, QWidget* parent = nullptr);
// With an answerer installed, Show and ShowError call it instead of opening a box.
void SetAnswerer(Answerer answerer);

}  // namespace messagebox

// The refusal of a write whose value is missing or not valid.
inline const char* const kIncorrectInformation = "Информация не корректна";

// True when `list` has a selected item. Otherwise the operator is told
// "Информация не корректна" and false comes back: the caller sends nothing.
bool CheckSelection(const QComboBox* list, QWidget* parent = nullptr);
