// The group "Опрос" on its own: its named controls, and the reply time it shows.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/pollinggroup.h"
#include "pagebench.h"
#include "replies.h"
#include "widgets/statuslamp.h"

namespace {

struct Host : PollingHost {
    bool addressEnabled = true;
    std::optional<int> pollingAddress() override { return 1; }
    void setPollingAddressEnabled(bool on) override { addressEnabled = on; }
    bool pollingAddressEnabled() const override { return addressEnabled; }
    void setExitEnabled(bool) override {}
    Target pollTarget() override { return Target::MeasuredValues; }
};

struct Group {
    PageBench bench;
    Host host;
    LinkTimer* timerAuto = bench.clock.createTimer(&bench.engine);
    PollingGroup group{&bench.engine, timerAuto, &host};
    template <typename T>
    T* get(const char* name) {
        T* w = group.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    QString text(const char* name) { return get<QLabel>(name)->text(); }
};

}  // namespace

class PollingGroupTest : public QObject {
    Q_OBJECT
  private slots:
    void controls_data();
    void controls();
    void fieldsAreNamedByTheirCaptions();
    void largestReplyTimeIgnoresStaleStamps();
};

void PollingGroupTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    const struct {
        const char* name;
        const char* cls;
        const char* text;
    } rows[] = {
        {"GroupBoxPolling", "PollingGroup", "Опрос"},
        {"BitBtnStart", "QPushButton", "     Читать"},
        {"CheckBoxAuto", "QCheckBox", "Авто опрос"},
        {"EditAuto", "QLineEdit", "100"},
        {"ApdStatusLight3", "StatusLamp", nullptr},
        {"StaticTextTimeMeasure", "QLabel", ""},
        {"StaticTextMax", "QLabel", ""},
        {"StaticTextNoAnsw", "QLabel", ""},
        {"StaticTextErrCRC", "QLabel", ""},
        {"StaticTextAllEnquiry", "QLabel", ""},
        {"ButtonStatClear", "QPushButton", "Сброс"},
    };
    for (const auto& r : rows) {
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.cls)
                              << (r.text ? QString::fromUtf8(r.text) : QString());
    }
}

void PollingGroupTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    Group g;
    QObject* o = g.group.objectName() == name ? &g.group : g.group.findChild<QObject*>(name);
    QVERIFY(o);
    QCOMPARE(QString::fromLatin1(o->metaObject()->className()), className);
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        QCOMPARE(b->text(), text);
    else if (auto* l = qobject_cast<QLabel*>(o))
        QCOMPARE(l->text(), text);
    else if (auto* e = qobject_cast<QLineEdit*>(o))
        QCOMPARE(e->text(), text);
    else if (auto* box = qobject_cast<QGroupBox*>(o))
        QCOMPARE(box->title(), text);
}

void PollingGroupTest::fieldsAreNamedByTheirCaptions() {
    Group g;
    const struct {
        const char* field;
        const char* caption;
    } rows[] = {
        {"EditAuto", "Период, мс"},
        {"StaticTextTimeMeasure", "Время ответа:"},
        {"StaticTextNoAnsw", "Нет ответа"},
        {"StaticTextAllEnquiry", "Всего запросов:"},
    };
    for (const auto& r : rows) {
        QWidget* field = g.get<QWidget>(r.field);
        QCOMPARE(field->accessibleName(), QString::fromUtf8(r.caption));
        bool hasBuddy = false;
        for (QLabel* l : g.group.findChildren<QLabel*>())
            hasBuddy = hasBuddy || l->buddy() == field;
        QVERIFY2(hasBuddy, r.field);
    }
}

// A reply to a request that takes no send time (a write, a tuning read) must not be measured
// from the stamp of an older read.
void PollingGroupTest::largestReplyTimeIgnoresStaleStamps() {
    Group g;
    g.get<QPushButton>("BitBtnStart")->click();
    g.bench.clock.advance(40);
    g.bench.port.deliver(replies::measuredBlock(QList<float>(29, 1.0f)));
    QCOMPARE(g.text("StaticTextMax"), QStringLiteral("40mc"));

    g.bench.clock.advance(120000);  // two minutes later a write is answered
    RequestRecord write = PreparedRecord(RequestCode::MainParameterWrite);
    write.SlaveAddress = 1;
    QVERIFY(g.bench.engine.SendInquiryWrite06(write));
    g.bench.clock.advance(15);
    g.bench.port.deliver(g.bench.port.lastWritten());
    QCOMPARE(g.text("StaticTextMax"), QStringLiteral("40mc"));
}

QTEST_MAIN(PollingGroupTest)
#include "gui_pollinggroup.moc"
