#pragma once
#include <QString>
#include <array>

#include "link/procedurestate.h"

class Clock;
class LinkEngine;
class PortSettings;

// The connection scheme and rated transformer values as last read or written; the ratio group
// keeps them, the metrology procedure reads them.
struct SchemeState {
    bool TwoElementScheme = false;
    std::array<float, 4>
        RatedValues{};  // primary and secondary voltage, primary and secondary current
};

// The one remembered text of the validated number edits: the text a field had when the
// operator entered it, restored when a change makes it no number.
struct EditState {
    QString EditPrevText;
};

// The indicator view must read the names, units and exponents of its lines (the set-up block)
// before it can render values.
struct IndicatorState {
    bool IndParamPending = true;
};

// State that several pages share, owned by the window; each member has one page that writes
// it, named beside its type.
struct SharedState {
    ProcedureState procedures;  // calibration pages; the link counts failures
    SchemeState scheme;         // ratio and scheme group
    EditState edits;            // every validated edit
    IndicatorState indicator;   // indicator view and main parameter page
};

// What a page gets from the window: the link, the shared state, the port settings and the
// clock. A page registers its reply handlers with the engine under its own name.
struct PageContext {
    LinkEngine* engine = nullptr;
    SharedState* state = nullptr;
    PortSettings* portSettings = nullptr;
    Clock* clock = nullptr;
};
