// Pauses of the run.
#ifndef DORVEK_PLATFORM_SLEEP_H_
#define DORVEK_PLATFORM_SLEEP_H_

namespace dorvek {

// Sleeps for at least the given number of milliseconds and barely more:
// resumes after signals, and waits out the last fraction awake because the
// scheduler wakes a sleeper a tenth of a millisecond or more late.
void sleepMillis(int milliseconds);

}  // namespace dorvek

#endif  // DORVEK_PLATFORM_SLEEP_H_
