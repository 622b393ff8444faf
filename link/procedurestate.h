#pragma once
#include <QtGlobal>

// The state of the two calibration procedures that the link reads and changes: the link
// counts failed exchanges while one runs and drops a pending calibration write on a
// time-out. The procedure pages set the flags; the window owns the one instance.
struct ProcedureState {
    bool MetrologyActive = false;
    bool CurrentOutputActive = false;
    // A calibration write is outstanding: an exception reply leaves the sequencing timer on
    // the write's record instead of falling back to the reading poll.
    bool CalibrationWritePending = false;
    quint16 ProcedureFailures = 0;

    bool anyActive() const { return MetrologyActive || CurrentOutputActive; }
};
