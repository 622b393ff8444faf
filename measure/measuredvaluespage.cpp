#include "measure/measuredvaluespage.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/engine.h"

namespace {

struct FieldRow {
    const char* label;  // exact text, trailing blanks and the Latin/Cyrillic mix included
    const char* field;
    int index;  // catalogue index
};

// clang-format off
constexpr FieldRow kRows[] = {
    {"Uan, B = ", "EditUa", 0},
    {"Ubn, B = ", "EditUb", 1},
    {"Ucn, B = ", "EditUc", 2},
    {"Uср, B = ", "EditU", 26},
    {"Uab, B = ", "EditUab", 6},
    {"Ubc, B = ", "EditUbc", 7},
    {"Uca, B = ", "EditUca", 8},
    {"Uср, B = ", "EditUL", 28},
    {"Ia, A = ", "EditIa", 3},
    {"Ib, A = ", "EditIb", 4},
    {"Ic, A = ", "EditIc", 5},
    {"Iср, A = ", "EditI", 27},
    {"Pa, Bт = ", "EditPa", 9},
    {"Pb, Bт = ", "EditPb", 10},
    {"Pc, Bт = ", "EditPc", 11},
    {"P,  Bт =", "EditP", 21},
    {"Qa, вар = ", "EditQa", 12},
    {"Qb, вар = ", "EditQb", 13},
    {"Qc, вар = ", "EditQc", 14},
    {"Q, вар = ", "EditQ", 22},
    {"Sa, BА = ", "EditSa", 15},
    {"Sb, BА = ", "EditSb", 16},
    {"Sc, BА = ", "EditSc", 17},
    {"S,  BА =", "EditS", 23},
    {"Kpa =", "EditCosFa", 18},
    {"Kpb =", "EditCosFb", 19},
    {"Kpc =", "EditCosFc", 20},
    {"Kp   =", "EditCosF", 24},
    {"F, Гц =", "EditFrec", 25},
};
// clang-format on

struct Group {
    const char* caption;
    const char* name;
    int firstRow;  // into kRows
    int rowCount;  // a group of four has a separator before its total or average row
};

// Left to right, top to bottom on the three-by-three grid; the ninth cell is the report button.
constexpr Group kGroups[] = {
    {"Напряжение", "GroupBoxU", 0, 4},
    {"Напряжение линейное", "GroupBoxUL", 4, 4},
    {"Ток", "GroupBoxI", 8, 4},
    {"Мощность активная", "GroupBoxP", 12, 4},
    {"Мощность реактивная", "GroupBoxQ", 16, 4},
    {"Мощность полная", "GroupBoxS", 20, 4},
    {"Коэффициент мощности", "GroupBoxCosF", 24, 4},
    {"Частота", "GroupBoxF", 28, 1},
};

static_assert(std::size(kRows) == kParameterCount);

constexpr int kFieldWidth = 110;
// The page shares a fixed-size window with the connection panel; larger default fonts would
// push the third column out of it.
constexpr int kMaxPointSize = 9;

}  // namespace

MeasuredValuesPage::MeasuredValuesPage(QWidget* parent) : QWidget(parent) {
    if (font().pointSize() > kMaxPointSize) {
        QFont f = font();
        f.setPointSize(kMaxPointSize);
        setFont(f);
    }

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* grid = new QGridLayout;
    grid->setObjectName(QStringLiteral("GridGroups"));
    grid->setSpacing(6);
    outer->addLayout(grid);
    outer->addStretch(1);

    int cell = 0;
    for (const Group& g : kGroups) {
        auto* box = new QGroupBox(QString::fromUtf8(g.caption), this);
        box->setObjectName(QString::fromLatin1(g.name));
        auto* rows = new QGridLayout(box);
        rows->setContentsMargins(6, 4, 6, 6);
        rows->setVerticalSpacing(3);
        int line = 0;
        for (int r = 0; r < g.rowCount; ++r) {
            const FieldRow& row = kRows[g.firstRow + r];
            if (g.rowCount > 1 && r == g.rowCount - 1) {
                auto* bevel = new QFrame(box);
                bevel->setObjectName(QStringLiteral("Bevel") +
                                     QString::fromLatin1(row.field).mid(4));
                bevel->setFrameShape(QFrame::HLine);
                bevel->setFrameShadow(QFrame::Sunken);
                rows->addWidget(bevel, line++, 0, 1, 2);
            }
            auto* edit = new QLineEdit(box);
            edit->setObjectName(QString::fromLatin1(row.field));
            edit->setReadOnly(true);
            edit->setFixedWidth(kFieldWidth);
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* label = new QLabel(QString::fromUtf8(row.label), box);
            label->setObjectName(QStringLiteral("Label") + QString::fromLatin1(row.field).mid(4));
            label->setTextFormat(Qt::PlainText);
            label->setBuddy(edit);
            edit->setAccessibleName(QString::fromUtf8(row.label).trimmed());
            rows->addWidget(label, line, 0);
            rows->addWidget(edit, line, 1, Qt::AlignRight);
            ++line;
            fields_[row.index] = edit;
        }
        rows->setRowStretch(line, 1);
        grid->addWidget(box, cell / 3, cell % 3);
        ++cell;
    }

    // There is no report yet; the button is kept, hidden and inert, in its place on the grid.
    ButtonRep = new QPushButton(QStringLiteral("Отчет"), this);
    ButtonRep->setObjectName(QStringLiteral("ButtonRep"));
    ButtonRep->setEnabled(false);
    ButtonRep->setVisible(false);
    grid->addWidget(ButtonRep, cell / 3, cell % 3, Qt::AlignCenter);
}

void MeasuredValuesPage::ShowMeasuredBlock(const quint8* block, int length) {
    if (block == nullptr || length < kMeasuredBlockDataLength)
        return;
    const QLocale numbers = locale();
    for (int k = 0; k < kParameterCount; ++k) {
        const MeasuredFloat v = FloatAt(block, k);
        fields_[k]->setText(FormatMeasured(v.value, v.noInfo, MeasuredDecimals(k), numbers));
    }
}

void MeasuredValuesPage::ClearMeasuredValues() {
    for (QLineEdit* edit : fields_)
        edit->clear();
}

QLineEdit* MeasuredValuesPage::field(int index) const {
    return index >= 0 && index < kParameterCount ? fields_[index] : nullptr;
}

void MeasuredValuesPage::attach(LinkEngine* engine) {
    engine->setReplyHandler(this, RequestCode::MeasuredBlock, [this](const quint8* reply, int n) {
        if (n >= 3)
            ShowMeasuredBlock(reply + 3, n - 3);
    });
    // A failed exchange must not leave older values looking current.
    connect(engine, &LinkEngine::checksumError, this, &MeasuredValuesPage::ClearMeasuredValues);
    connect(engine, &LinkEngine::timedOut, this, &MeasuredValuesPage::ClearMeasuredValues);
}
