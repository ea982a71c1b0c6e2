// Where a file's time goes in the copy, for the bench: built with the option
// QM_PHASE_TIMES the time between marks is summed per phase and written at
// the walk's end to the file that the environment's QM_PHASE_LOG names;
// otherwise every call is empty and costs nothing.
#pragma once

enum CopyPhase {
    phaseOpen,      // the source opened and its length taken
    phaseCreate,    // the source's header read, the destination created
    phaseExpand,    // expanded, checked and written
    phaseDate,      // the source's date given to the copy, the source closed
    phaseReadBack,  // the written file read back and checked
    phaseCommit,    // closed, placed, logged and recorded
    phasePaint,     // the window refreshed, the messages drained
    phaseCount
};

#ifdef QM_PHASE_TIMES
// The clock restarts for the phase that follows.
void phaseStart();
// The time since the last mark goes to phase.
void phaseEnd(int phase);
// The sums and their share per file, appended to QM_PHASE_LOG.
void phaseReport();
#else
inline void phaseStart() {}
inline void phaseEnd(int) {}
inline void phaseReport() {}
#endif
