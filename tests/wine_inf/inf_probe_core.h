// Prints what the SetupAPI INF services make of one INF file: the open, and
// for every line of the named sections fields 0 to 3 as read into 64-byte
// buffers. Built twice, against the system's setupapi (run under Wine) and
// against the simulated Windows, so that the two outputs can be compared.
#ifndef TESTS_WINE_INF_INF_PROBE_CORE_H
#define TESTS_WINE_INF_INF_PROBE_CORE_H

// Sets the last error to SENTINEL_ERROR before each call, so that the report
// shows whether a failing call set an error at all. Each build supplies it.
const unsigned long SENTINEL_ERROR = 0xDEADBEEF;
void ProbeSetSentinelError(void);

// Returns 0, or 1 when the probe itself could not run as planned.
int ProbeInf(const char *path, int sectionCount, char **sections);

#endif
