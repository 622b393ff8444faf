#include "app/linkgroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/portsettings.h"

namespace {

QComboBox* selector(const char* name, const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    box->setEditable(false);
    return box;
}

QWidget* fixedText(const char* name, const char* text, bool asEdit, QWidget* parent) {
    QWidget* w;
    if (asEdit) {
        auto* e = new QLineEdit(QString::fromUtf8(text), parent);
        e->setReadOnly(true);
        w = e;
    } else {
        auto* l = new QLabel(QString::fromUtf8(text), parent);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        w = l;
    }
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

}  // namespace

LinkGroup::LinkGroup(const Names& names, QWidget* parent)
    : QGroupBox(QStringLiteral("Связь"), parent) {
    setObjectName(QString::fromLatin1(names.group));
    // The group keeps the width of the first page's side column on every page.
    setMaximumWidth(320);
    auto* outer = new QVBoxLayout(this);
    auto* settings = new QGroupBox(QStringLiteral("Настройки порта"), this);
    settings->setObjectName(QString::fromLatin1(names.group) + QStringLiteral("Port"));
    auto* grid = new QGridLayout(settings);
    outer->addWidget(settings);

    port_ = selector(names.port, PortSettings::portItems(), settings);
    grid->addWidget(new QLabel(QStringLiteral("Порт:"), settings), 0, 0);
    grid->addWidget(port_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Скорость:"), settings), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Паритет:"), settings), 2, 0);
    if (names.baud) {
        baud_ = selector(names.baud, PortSettings::baudItems(), settings);
        parity_ = selector(names.parity, PortSettings::parityItems(), settings);
        grid->addWidget(baud_, 1, 1);
        grid->addWidget(parity_, 2, 1);
    } else {
        grid->addWidget(
            fixedText(names.fixedBaudName, names.fixedBaud, names.fixedAsEdits, settings), 1, 1);
        grid->addWidget(
            fixedText(names.fixedParityName, names.fixedParity, names.fixedAsEdits, settings), 2,
            1);
    }
    if (names.address) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Логический номер:"), this));
        address_ = new QLineEdit(QStringLiteral("1"), this);
        address_->setObjectName(QString::fromLatin1(names.address));
        address_->setMaximumWidth(50);
        row->addWidget(address_);
        outer->addLayout(row);
    }
}
