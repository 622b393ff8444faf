// The value-entry dialog TForm2: its controls, placement and starting text, the undo of an
// invalid keystroke to the remembered text, confirmation by Enter and by "Ввод", the values it
// refuses, closing; and, wired to the metrology page as the window wires them, a typed
// reference on its way to the transducer.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <cstring>

#include "calibration/metrologypage.h"
#include "calibration/valueentrydialog.h"
#include "pagebench.h"
#include "replies.h"

namespace {

void type(QWidget* w, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

struct Dialog {
    MessageRecorder messages;
    TForm2 dialog;
    QSignalSpy entered{&dialog, &TForm2::valueEntered};
    QSignalSpy closed{&dialog, &TForm2::closed};

    explicit Dialog(const QLocale& locale = QLocale(QLocale::English)) { dialog.setLocale(locale); }
    QLineEdit* edit() { return dialog.edit(); }
    QString text() { return edit()->text(); }
    void enter() { QTest::keyClick(edit(), Qt::Key_Return); }
    void replaceAll(const QString& text) {
        edit()->selectAll();
        type(edit(), text);
    }
    float lastValue() { return entered.last().at(0).toFloat(); }
};

}  // namespace

class ValueEntryDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void controls();
    void openPlacesAndFills();
    void enterHandsBackTheReading_data();
    void enterHandsBackTheReading();
    void invalidKeystrokeGoesBackToRememberedText();
    void minusSign();
    void emptyOrUnwritableEntryWritesNothing_data();
    void emptyOrUnwritableEntryWritesNothing();
    void staysOpenAfterConfirmation();
    void closing();
    void typedReferenceReachesTheTransducer();
};

void ValueEntryDialogTest::controls() {
    Dialog d;
    QCOMPARE(d.dialog.objectName(), QStringLiteral("TForm2"));
    QCOMPARE(d.dialog.windowTitle(), QStringLiteral("Введите значение"));
    QVERIFY(!d.dialog.isModal());
    QVERIFY(!d.dialog.testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(d.dialog.isHidden());
    QCOMPARE(d.dialog.size(), QSize(261, 61));
    QCOMPARE(d.dialog.minimumSize(), d.dialog.maximumSize());
    const Qt::WindowFlags flags = d.dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    auto* edit = d.dialog.findChild<QLineEdit*>(QStringLiteral("EditImpValue"));
    auto* button = d.dialog.findChild<QPushButton*>(QStringLiteral("ButtonEnterVal"));
    QVERIFY(edit && button);
    QCOMPARE(button->text(), QStringLiteral("Ввод"));
    // The edit is first in the tab order, the button right of it.
    QCOMPARE(edit->nextInFocusChain(), button);
    d.dialog.openAt(QPoint(100, 100), QStringLiteral("1"));
    QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
    QVERIFY(button->geometry().left() > edit->geometry().right());
}

void ValueEntryDialogTest::openPlacesAndFills() {
    Dialog d;
    d.dialog.openAt(QPoint(170, 270), QStringLiteral("57.735"));
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.dialog.pos(), QPoint(170, 270));
    QCOMPARE(d.text(), QStringLiteral("57.735"));
    QCOMPARE(d.dialog.rememberedText(), QStringLiteral("57.735"));
    QCOMPARE(d.entered.size(), 0);

    // Opened again for another reading: its text replaces what was left.
    d.replaceAll(QStringLiteral("3"));
    d.dialog.openAt(QPoint(440, 330), QStringLiteral("5.0010"));
    QCOMPARE(d.dialog.pos(), QPoint(440, 330));
    QCOMPARE(d.text(), QStringLiteral("5.0010"));
    QCOMPARE(d.dialog.rememberedText(), QStringLiteral("5.0010"));
}

void ValueEntryDialogTest::enterHandsBackTheReading_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("reading");
    QTest::newRow("point") << int(QLocale::English) << QStringLiteral("57.735");
    QTest::newRow("comma") << int(QLocale::Russian) << QStringLiteral("57,735");
}

void ValueEntryDialogTest::enterHandsBackTheReading() {
    QFETCH(int, language);
    QFETCH(QString, reading);
    Dialog d{QLocale(QLocale::Language(language))};
    d.dialog.openAt(QPoint(0, 0), reading);
    d.enter();
    QCOMPARE(d.entered.size(), 1);
    QCOMPARE(d.lastValue(), 57.735f);
    QVERIFY(d.messages.messages.isEmpty());
    // The button does the same.
    QTest::mouseClick(d.dialog.enterButton(), Qt::LeftButton);
    QCOMPARE(d.entered.size(), 2);
    QCOMPARE(d.lastValue(), 57.735f);
}

void ValueEntryDialogTest::invalidKeystrokeGoesBackToRememberedText() {
    Dialog d;
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("57.735"));
    type(d.edit(), QStringLiteral("1"));
    QCOMPARE(d.text(), QStringLiteral("57.7351"));
    // A letter right after: back to the reading the dialog opened with, not to 57.7351.
    type(d.edit(), QStringLiteral("x"));
    QCOMPARE(d.text(), QStringLiteral("57.735"));

    type(d.edit(), QStringLiteral("1"));
    d.enter();
    QCOMPARE(d.lastValue(), 57.7351f);
    type(d.edit(), QStringLiteral("2"));
    QCOMPARE(d.text(), QStringLiteral("57.73512"));
    // After a confirmation: back to the confirmed text.
    type(d.edit(), QStringLiteral("ю"));
    QCOMPARE(d.text(), QStringLiteral("57.7351"));
    // A second separator is no number either.
    type(d.edit(), QStringLiteral("."));
    QCOMPARE(d.text(), QStringLiteral("57.7351"));
    // An exponent cannot be typed: "1e" is no number yet.
    type(d.edit(), QStringLiteral("e"));
    QCOMPARE(d.text(), QStringLiteral("57.7351"));
    QCOMPARE(d.entered.size(), 1);
    QVERIFY(d.messages.messages.isEmpty());
}

void ValueEntryDialogTest::minusSign() {
    Dialog d;
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("5.0"));
    // Selecting all and typing a minus leaves a lone minus, which is undone.
    d.replaceAll(QStringLiteral("-"));
    QCOMPARE(d.text(), QStringLiteral("5.0"));
    // A sign in front of digits already there is kept.
    d.edit()->setCursorPosition(0);
    type(d.edit(), QStringLiteral("-"));
    QCOMPARE(d.text(), QStringLiteral("-5.0"));
    d.enter();
    QCOMPARE(d.lastValue(), -5.0f);
}

void ValueEntryDialogTest::emptyOrUnwritableEntryWritesNothing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byButton");
    QTest::addColumn<QString>("message");
    const QString notGiven = QStringLiteral("Информация не задана");
    QTest::newRow("empty, Enter") << QString() << false << notGiven;
    QTest::newRow("empty, button") << QString() << true << notGiven;
    QTest::newRow("beyond single precision")
        << QStringLiteral("1e39") << false
        << QStringLiteral("«1e39» не является допустимым числом с плавающей точкой.");
    QTest::newRow("beyond double, button")
        << QStringLiteral("-1e400") << true
        << QStringLiteral("«-1e400» не является допустимым числом с плавающей точкой.");
}

void ValueEntryDialogTest::emptyOrUnwritableEntryWritesNothing() {
    QFETCH(QString, text);
    QFETCH(bool, byButton);
    QFETCH(QString, message);
    Dialog d;
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("57.735"));
    QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
    if (text.isEmpty()) {
        // Emptied keystroke by keystroke: tolerated while typing.
        d.edit()->selectAll();
        QTest::keyClick(d.edit(), Qt::Key_Backspace);
        QCOMPARE(d.text(), QString());
    } else {
        // Pasted: a number as text, but not one the transducer can hold.
        d.edit()->setText(text);
        QCOMPARE(d.text(), text);
    }
    if (byButton) {
        // The button takes the focus first: an empty field is not made a zero on the way.
        d.dialog.enterButton()->setFocus(Qt::MouseFocusReason);
        d.dialog.EditImpValueExit();
        QTest::mouseClick(d.dialog.enterButton(), Qt::LeftButton);
    } else {
        d.enter();
    }
    QCOMPARE(d.messages.take(), QStringList{message});
    QCOMPARE(d.entered.size(), 0);
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.text(), text);
}

void ValueEntryDialogTest::staysOpenAfterConfirmation() {
    Dialog d;
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("57.735"));
    d.replaceAll(QStringLiteral("57.7"));
    d.enter();
    d.replaceAll(QStringLiteral("57.74"));
    QTest::mouseClick(d.dialog.enterButton(), Qt::LeftButton);
    QCOMPARE(d.entered.size(), 2);
    QCOMPARE(d.entered.at(0).at(0).toFloat(), 57.7f);
    QCOMPARE(d.entered.at(1).at(0).toFloat(), 57.74f);
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.text(), QStringLiteral("57.74"));
    QCOMPARE(d.closed.size(), 0);
}

void ValueEntryDialogTest::closing() {
    Dialog d;
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("1.0"));
    // The close box hands nothing back.
    d.dialog.close();
    QVERIFY(d.dialog.isHidden());
    QCOMPARE(d.closed.size(), 1);
    QCOMPARE(d.entered.size(), 0);
    // Closing a dialog that is not open announces nothing.
    d.dialog.close();
    QCOMPARE(d.closed.size(), 1);
    // Reused: shown again, closed again.
    d.dialog.openAt(QPoint(0, 0), QStringLiteral("2.0"));
    QVERIFY(d.dialog.isVisible());
    QTest::keyClick(&d.dialog, Qt::Key_Escape);
    QVERIFY(d.dialog.isHidden());
    QCOMPARE(d.closed.size(), 2);
}

namespace {

QList<quint16> wordsOf(const QList<float>& values) {
    QList<quint16> words;
    for (float v : values) {
        quint32 bits = 0;
        std::memcpy(&bits, &v, 4);
        words << quint16(bits >> 16) << quint16(bits & 0xFFFF);
    }
    return words;
}

}  // namespace

// The double click on Uab opens the dialog 70 px right of and 220 px below the window's
// top-left corner with the reading; confirming 100 writes reference 3 at the next tick. The
// window is disabled while the dialog is open, enabled when it closes, and the dialog closes
// when the procedure stops, as the window wires them.
void ValueEntryDialogTest::typedReferenceReachesTheTransducer() {
    PageBench b;
    QWidget window;
    window.move(100, 50);
    auto* page = new MetrologyPage(b.context(), &window);
    page->setLocale(QLocale(QLocale::English));
    window.resize(1000, 600);
    page->resize(1000, 600);
    window.show();
    TForm2 dialog;
    dialog.setLocale(QLocale(QLocale::English));
    QObject::connect(page, &MetrologyPage::readingDoubleClicked, &dialog,
                     [&](int row, QPoint offset) {
                         window.setEnabled(false);
                         dialog.openAt(window.pos() + offset, page->entryText(row));
                     });
    QObject::connect(&dialog, &TForm2::closed, &window, [&] { window.setEnabled(true); });
    QObject::connect(&dialog, &TForm2::valueEntered, page, &MetrologyPage::AcceptEnteredValue);
    QObject::connect(page, &MetrologyPage::metrologyRunning, &dialog, [&](bool on) {
        if (!on)
            dialog.close();
    });

    // Two-element scheme, nominal 57.74 V and 5 A, Uab reading 57.7.
    page->findChild<QPushButton*>(QStringLiteral("BitBtnSetNet"))->click();
    b.port.deliver(replies::read({1}));
    b.clock.advance(1000);
    b.port.deliver(replies::read(wordsOf({75.062f, 57.74f, 6.5f, 5.0f})));
    b.clock.advance(1000);
    QList<float> readings(29, 0.0f);
    readings[6] = 57.7f;
    b.port.deliver(replies::measuredBlock(readings));
    b.takeWritten();

    QTest::mouseDClick(page->findChild<QLabel*>(QStringLiteral("StaticTextUab")), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QVERIFY(!window.isEnabled());
    QVERIFY(dialog.isEnabled());
    QCOMPARE(dialog.pos(), window.pos() + QPoint(70, 220));
    QCOMPARE(dialog.edit()->text(), QStringLiteral("57.700"));

    dialog.edit()->selectAll();
    type(dialog.edit(), QStringLiteral("100"));
    QTest::keyClick(dialog.edit(), Qt::Key_Return);
    b.clock.advance(1000);
    QCOMPARE(b.takeWritten(),
             QStringList{QStringLiteral("01 10 07 0c 00 02 04 42 c8 00 00 40 4c")});
    QVERIFY(dialog.isVisible());

    // The end of the procedure (the window held, so by a page change or the fifth failure)
    // closes the dialog and gives the window back.
    page->StopMetrology();
    QVERIFY(dialog.isHidden());
    QVERIFY(window.isEnabled());
    QVERIFY(b.messages.messages.isEmpty());
}

QTEST_MAIN(ValueEntryDialogTest)
#include "gui_valueentrydialog.moc"
