// The traffic monitor window: its controls act on the log, Ctrl+C copies, and the table follows
// new lines only while the operator has not scrolled up.
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>

#include "app/trafficmonitorwindow.h"
#include "link/trafficlog.h"
#include "manualclock.h"
#include "replies.h"

namespace {

void addExchanges(TrafficLogModel* m, int n) {
    for (int i = 0; i < n; ++i) {
        m->addRequest(replies::withCrc(QByteArray::fromHex("01030000003A")));
        if (i % 2)
            m->addTimeout();
        else
            m->addReply(replies::read({1, 2}), TrafficKind::Reply);
    }
    m->flush();
    QCoreApplication::processEvents();
}

quint64 topNumber(QTableView* t) {
    return t->indexAt(QPoint(2, 2)).data(TrafficLogModel::NumberRole).toULongLong();
}

}  // namespace

class TrafficMonitorTest : public QObject {
    Q_OBJECT
  private slots:
    void controlsActOnTheLog() {
        ManualClock clock;
        TrafficMonitorWindow w(&clock);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Монитор обмена"));
        TrafficLogModel* m = w.model();
        addExchanges(m, 5);
        QCOMPARE(w.table()->model()->rowCount(), 10);

        auto* errorsOnly = w.findChild<QCheckBox*>(QStringLiteral("monitorErrorsOnly"));
        QVERIFY(errorsOnly);
        errorsOnly->click();
        QCOMPARE(w.table()->model()->rowCount(), 2);  // the two time-outs

        // Ctrl+C and the button copy the selected rows, in table order.
        w.table()->selectAll();
        QTest::keyClick(w.table(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), m->rowsText({3, 7}));
        QGuiApplication::clipboard()->clear();
        w.findChild<QPushButton*>(QStringLiteral("monitorCopy"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), m->rowsText({3, 7}));
        errorsOnly->click();

        auto* pause = w.findChild<QPushButton*>(QStringLiteral("monitorPause"));
        pause->click();
        QVERIFY(m->paused());
        addExchanges(m, 2);
        QCOMPARE(w.table()->model()->rowCount(), 10);
        pause->click();
        QCOMPARE(w.table()->model()->rowCount(), 14);

        w.findChild<QPushButton*>(QStringLiteral("monitorClear"))->click();
        QCOMPARE(w.table()->model()->rowCount(), 0);
        for (const char* name : {"monitorPause", "monitorClear", "monitorCopy", "monitorSave"})
            QVERIFY2(w.findChild<QPushButton*>(QString::fromLatin1(name)), name);
    }

    void followsTheBottomUnlessScrolledUp() {
        ManualClock clock;
        TrafficMonitorWindow w(&clock);
        w.model()->setBound(400);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QScrollBar* bar = w.table()->verticalScrollBar();
        addExchanges(w.model(), 100);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        addExchanges(w.model(), 10);
        QCOMPARE(bar->value(), bar->maximum());

        // Scrolled up: new lines do not move the view, nor do old lines dropping off the top.
        bar->setValue(bar->maximum() - 30);
        QCoreApplication::processEvents();
        const quint64 top = topNumber(w.table());
        addExchanges(w.model(), 20);
        QCOMPARE(topNumber(w.table()), top);
        addExchanges(w.model(), 100);  // the ring is full: rows leave the top
        QCOMPARE(w.model()->rowCount(), 400);
        QCOMPARE(topNumber(w.table()), top);

        // Back at the bottom it follows again.
        bar->setValue(bar->maximum());
        addExchanges(w.model(), 5);
        QCOMPARE(bar->value(), bar->maximum());
    }
};

QTEST_MAIN(TrafficMonitorTest)
#include "gui_trafficmonitor.moc"
