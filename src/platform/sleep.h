// Pauses of the run.
#ifndef DORVEK_PLATFORM_SLEEP_H_
#define DORVEK_PLATFORM_SLEEP_H_

namespace dorvek {

// Sleeps for at least the given number of milliseconds (resumes after
// signals until the time is up).
void sleepMillis(int milliseconds);

}  // namespace dorvek

#endif  // DORVEK_PLATFORM_SLEEP_H_
