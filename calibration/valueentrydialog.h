#pragma once
#include <QDialog>
#include <QPoint>
#include <QString>

class QLineEdit;
class QPushButton;

// "Введите значение": the small window in which the operator types the true value of the
// reference applied to the reading that was double-clicked. Not modal; created once and
// reused. It knows nothing of registers or channels: every confirmed number goes out through
// valueEntered, and closing it is announced by closed() so that the window can take the
// operator back.
//
// Create it without a parent: the window disables itself while the dialog is open, and a
// child window of a disabled window is disabled with it.
class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    // Shows the dialog with its outer top-left corner at `position` (the window's top-left
    // corner plus the row's offset) and `text`, the reading it starts from. Everything that
    // its activation does happens here, so it does not wait for a window manager.
    void openAt(QPoint position, const QString& text);

    // The handlers, callable as the events call them.
    void FormActivate(const QString& readingText);
    void EditImpValueEnter();
    void EditImpValueChange();
    void EditImpValueExit();
    void ButtonEnterValClick();

    QString rememberedText() const { return rememberedText_; }
    QLineEdit* edit() const { return EditImpValue; }
    QPushButton* enterButton() const { return ButtonEnterVal; }

  signals:
    // A confirmed number, in single precision.
    void valueEntered(float value);
    // The dialog has been closed, by its close box or by close(): the window is enabled again.
    void closed();

  public:
    // Every way of closing ends here: the close box, Escape and close().
    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Makes the dialog visible and active. Tests on a platform without windows replace it.
    virtual void present();

  private:
    QLineEdit* EditImpValue = nullptr;
    QPushButton* ButtonEnterVal = nullptr;
    QString rememberedText_;
};
