// One installation or removal of the product at a time on the machine: the
// lock is held until the process ends, so one left by a killed run never
// keeps the next one out.
#pragma once

// 1 when this run now holds the lock (or held it already), 0 when another
// run holds it.
int takeRunLock();
