#include "settings/currentconverterpage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

CurrentConverterPage::CurrentConverterPage(const PageContext& /*ctx*/, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("TSAmp"));

    auto* given = new QGroupBox(QStringLiteral("Задаваемые параметры"), this);
    given->setObjectName(QStringLiteral("GroupBoxCurParams"));
    auto* givenColumn = new QVBoxLayout(given);
    auto* names = new QGroupBox(QStringLiteral("Наименование"), given);
    names->setObjectName(QStringLiteral("GroupBoxCurParamNames"));
    givenColumn->addWidget(names);
    auto* namesColumn = new QVBoxLayout(names);

    const QStringList items = CurrentConverterItemTexts();
    for (int k = 0; k < kSelectorCount; ++k) {
        auto* box = new QComboBox(names);
        box->setObjectName(QStringLiteral("CBCurParamName0%1").arg(k));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        box->setCurrentIndex(k);
        box->setMinimumWidth(250);
        box->setAccessibleName(names->title());
        namesColumn->addWidget(box);
        CBCurParamName[size_t(k)] = box;
    }

    auto* row = new QHBoxLayout;
    row->addWidget(given);
    row->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addStretch(1);
}

QComboBox* CurrentConverterPage::selector(int k) const {
    return k >= 0 && k < kSelectorCount ? CBCurParamName[size_t(k)] : nullptr;
}
