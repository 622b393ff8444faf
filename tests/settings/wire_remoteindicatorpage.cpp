// The remote indicator sub-page over a virtual serial line to tervex-sim, which answers the
// indicator's own frames beside the transducer: a read shows what the indicator holds, a
// write is stored there and comes back by the next read.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "pagebench.h"
#include "settings/remoteindicator.h"
#include "settings/remoteindicatorpage.h"

namespace ri = remoteindicator;

namespace {

constexpr int kWaitMs = 10000;  // a pty answers in milliseconds; generous for a busy machine

struct Wire {
    WireBench bench;
    std::unique_ptr<RemoteIndicatorPage> page;

    bool start() {
        if (!bench.start({QStringLiteral("--log"), QStringLiteral("-")}))
            return false;
        bench.portSettings->applyFixed9600();
        page = std::make_unique<RemoteIndicatorPage>(bench.context());
        page->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        page->pageEntered();
        return true;
    }
    template <typename T>
    T* find(const QString& name) {
        return page->findChild<T*>(name);
    }
    QComboBox* selector(int i) {
        return find<QComboBox>(QStringLiteral("CBIndParamName0%1").arg(i));
    }
    QLineEdit* over(int i) { return find<QLineEdit>(QStringLiteral("TEUstMax0%1").arg(i)); }
    QLineEdit* under(int i) { return find<QLineEdit>(QStringLiteral("TEUstMin0%1").arg(i)); }
    QPushButton* read() { return find<QPushButton>(QStringLiteral("BitBtnRead")); }
    QPushButton* save() { return find<QPushButton>(QStringLiteral("BitBtnSave")); }
    QStringList setpoints() {
        QStringList out;
        for (int i = 0; i < 3; ++i)
            out << over(i)->text() << under(i)->text();
        return out;
    }
    QList<int> codes() {
        return {page->parameterCode(0), page->parameterCode(1), page->parameterCode(2)};
    }
};

}  // namespace

class RemoteIndicatorWireTest : public QObject {
    Q_OBJECT
  private slots:
    void readShowsWhatTheIndicatorHolds();
    void writeIsStored();
};

void RemoteIndicatorWireTest::readShowsWhatTheIndicatorHolds() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    // Something else on the page first, so that the read visibly replaces it.
    w.selector(0)->setCurrentIndex(25);
    w.selector(2)->setCurrentIndex(24);
    QCOMPARE(w.setpoints(), QStringList({"100", "0", "120", "0", "100", "-100"}));

    w.page->BitBtnReadClick();
    QVERIFY(!w.read()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w.read()->isEnabled(), kWaitMs);
    QVERIFY(!w.bench.engine->awaitingReply());
    QVERIFY2(w.bench.messages.messages.isEmpty(), qPrintable(w.bench.messages.messages.join('\n')));

    // The simulated indicator starts with Ua, Ia and Pa at their defaults, three elements.
    QCOMPARE(w.codes(), QList<int>({0, 3, 9}));
    QCOMPARE(w.setpoints(), QStringList({"130", "0", "120", "0", "120", "-120"}));
    QCOMPARE(w.page->scheme(), ri::kThreeElement);
    QVERIFY(w.save()->isEnabled());

    w.bench.sim.stop();
    const QString log = QString::fromUtf8(w.bench.sim.standardError());
    QVERIFY2(log.contains(QStringLiteral("rx 03 00 F0 81 84")), qPrintable(log));
    static const QRegularExpression answer(
        QStringLiteral("tx ((?:[0-9A-F]{2} ?)+) \\(remote indicator\\)"));
    const QRegularExpressionMatch m = answer.match(log);
    QVERIFY2(m.hasMatch(), qPrintable(log));
    QCOMPARE(m.captured(1).split(' ', Qt::SkipEmptyParts).size(), ri::kFrameLength);
}

void RemoteIndicatorWireTest::writeIsStored() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    w.selector(0)->setCurrentIndex(21);
    w.selector(1)->setCurrentIndex(6);
    w.selector(2)->setCurrentIndex(25);
    w.find<QRadioButton>(QStringLiteral("RGSchema0"))->click();
    w.over(0)->setText(QStringLiteral("77"));
    w.under(0)->setText(QStringLiteral("-66"));
    w.under(1)->setText(QStringLiteral("5"));
    w.over(2)->setText(QStringLiteral("90"));
    const QStringList written = {"77", "-66", "130", "5", "90", "0"};
    QCOMPARE(w.setpoints(), written);
    QVERIFY(w.save()->isEnabled());

    w.page->BitBtnSaveClick();
    QVERIFY(!w.save()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w.save()->isEnabled() && w.read()->isEnabled(), kWaitMs);
    QVERIFY(!w.bench.engine->awaitingReply());
    QVERIFY2(w.bench.messages.messages.isEmpty(), qPrintable(w.bench.messages.messages.join('\n')));

    // Entering the page again forgets the values; only the indicator has them now.
    w.find<QRadioButton>(QStringLiteral("RGSchema1"))->click();
    w.page->pageEntered();
    QVERIFY(w.setpoints() != written);

    w.page->BitBtnReadClick();
    QTRY_VERIFY_WITH_TIMEOUT(w.read()->isEnabled(), kWaitMs);
    QCOMPARE(w.codes(), QList<int>({21, 6, 25}));
    QCOMPARE(w.setpoints(), written);
    QCOMPARE(w.page->scheme(), ri::kTwoElement);

    w.bench.sim.stop();
    const QString log = QString::fromUtf8(w.bench.sim.standardError());
    QVERIFY2(log.contains(QStringLiteral("remote indicator set: lines 21 (-0.66 .. 0.77), 6 (0.05 "
                                         ".. 1.3), 25 (0 .. 0.9), scheme 0")),
             qPrintable(log));
}

QTEST_MAIN(RemoteIndicatorWireTest)
#include "wire_remoteindicatorpage.moc"
