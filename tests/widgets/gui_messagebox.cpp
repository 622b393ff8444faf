// The selection check that guards every write built from a selector.
#include <QComboBox>
#include <QtTest>

#include "messagebox_seam.h"
#include "widgets/messagebox.h"

class MessageBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void checkSelection();
};

void MessageBoxTest::checkSelection() {
    MessageRecorder messages;
    QComboBox box;
    box.setEditable(true);  // an editable selector may hold a text that is no item
    box.addItems({QStringLiteral("a"), QStringLiteral("b")});
    box.setCurrentIndex(0);
    QVERIFY(CheckSelection(&box));
    QVERIFY(messages.take().isEmpty());
    box.setCurrentIndex(-1);
    QVERIFY(!CheckSelection(&box));
    QCOMPARE(messages.take(), QStringList{QStringLiteral("Информация не корректна")});
    QVERIFY(!CheckSelection(nullptr));
    QCOMPARE(messages.take().size(), 1);
}

QTEST_MAIN(MessageBoxTest)
#include "gui_messagebox.moc"
