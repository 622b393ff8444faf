#include "measure/measuredgridview.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace {

struct FieldRow {
    const char* label;  // exact text, trailing blanks and the Latin/Cyrillic mix included
    const char* suffix;
    int index;  // catalogue index
};

// clang-format off
constexpr FieldRow kRows[] = {
    {"Uan, B = ", "Ua", 0},
    {"Ubn, B = ", "Ub", 1},
    {"Ucn, B = ", "Uc", 2},
    {"Uср, B = ", "U", 26},
    {"Uab, B = ", "Uab", 6},
    {"Ubc, B = ", "Ubc", 7},
    {"Uca, B = ", "Uca", 8},
    {"Uср, B = ", "UL", 28},
    {"Ia, A = ", "Ia", 3},
    {"Ib, A = ", "Ib", 4},
    {"Ic, A = ", "Ic", 5},
    {"Iср, A = ", "I", 27},
    {"Pa, Bт = ", "Pa", 9},
    {"Pb, Bт = ", "Pb", 10},
    {"Pc, Bт = ", "Pc", 11},
    {"P,  Bт =", "P", 21},
    {"Qa, вар = ", "Qa", 12},
    {"Qb, вар = ", "Qb", 13},
    {"Qc, вар = ", "Qc", 14},
    {"Q, вар = ", "Q", 22},
    {"Sa, BА = ", "Sa", 15},
    {"Sb, BА = ", "Sb", 16},
    {"Sc, BА = ", "Sc", 17},
    {"S,  BА =", "S", 23},
    {"Kpa =", "CosFa", 18},
    {"Kpb =", "CosFb", 19},
    {"Kpc =", "CosFc", 20},
    {"Kp   =", "CosF", 24},
    {"F, Гц =", "Frec", 25},
};
// clang-format on

struct GroupRows {
    const char* caption;
    const char* suffix;
    int firstRow;  // into kRows
    int rowCount;  // a group of four has a separator before its total or average row
};

// In the order of MeasuredGridView::Group.
constexpr GroupRows kGroups[] = {
    {"Напряжение", "U", 0, 4},
    {"Напряжение линейное", "UL", 4, 4},
    {"Ток", "I", 8, 4},
    {"Мощность активная", "P", 12, 4},
    {"Мощность реактивная", "Q", 16, 4},
    {"Мощность полная", "S", 20, 4},
    {"Коэффициент мощности", "CosF", 24, 4},
    {"Частота", "F", 28, 1},
};

static_assert(std::size(kRows) == kParameterCount);
static_assert(std::size(kGroups) == MeasuredGridView::kGroupCount);

constexpr int kFieldWidth = 110;

}  // namespace

MeasuredGridView::MeasuredGridView(const QString& nameInfix, int columns, const QList<Group>& order,
                                   QWidget* parent)
    : QWidget(parent), columns_(std::max(columns, 1)) {
    auto name = [&nameInfix](const char* kind, const char* suffix) {
        return QString::fromLatin1(kind) + nameInfix + QString::fromLatin1(suffix);
    };

    grid_ = new QGridLayout(this);
    grid_->setObjectName(name("Grid", "Groups"));
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(6);

    QList<Group> cells = order;
    if (cells.size() != kGroupCount) {
        cells.clear();
        for (int g = 0; g < kGroupCount; ++g)
            cells << Group(g);
    }
    int cell = 0;
    for (Group placed : cells) {
        const GroupRows& g = kGroups[placed];
        auto* box = new QGroupBox(QString::fromUtf8(g.caption), this);
        box->setObjectName(name("GroupBox", g.suffix));
        auto* rows = new QGridLayout(box);
        rows->setContentsMargins(6, 4, 6, 6);
        rows->setVerticalSpacing(3);
        int line = 0;
        for (int r = 0; r < g.rowCount; ++r) {
            const FieldRow& row = kRows[g.firstRow + r];
            if (g.rowCount > 1 && r == g.rowCount - 1) {
                auto* bevel = new QFrame(box);
                bevel->setObjectName(name("Bevel", row.suffix));
                bevel->setFrameShape(QFrame::HLine);
                bevel->setFrameShadow(QFrame::Sunken);
                rows->addWidget(bevel, line++, 0, 1, 2);
            }
            auto* edit = new QLineEdit(box);
            edit->setObjectName(name("Edit", row.suffix));
            edit->setReadOnly(true);
            edit->setFixedWidth(kFieldWidth);
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* label = new QLabel(QString::fromUtf8(row.label), box);
            label->setObjectName(name("Label", row.suffix));
            label->setTextFormat(Qt::PlainText);
            label->setBuddy(edit);
            edit->setAccessibleName(QString::fromUtf8(row.label).trimmed());
            rows->addWidget(label, line, 0);
            rows->addWidget(edit, line, 1, Qt::AlignRight);
            ++line;
            fields_[row.index] = edit;
        }
        rows->setRowStretch(line, 1);
        grid_->addWidget(box, cell / columns_, cell % columns_);
        ++cell;
    }
}

QLineEdit* MeasuredGridView::field(int index) const {
    return index >= 0 && index < kParameterCount ? fields_[index] : nullptr;
}

void MeasuredGridView::clear() {
    for (QLineEdit* edit : fields_)
        edit->clear();
}
