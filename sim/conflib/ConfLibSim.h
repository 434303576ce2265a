// Test-side interface of the osConfLib simulator: the extra exports (looked up with
// GetProcAddress; the panel never uses them) and the names of its environment variables.
#pragma once
#include <cstddef>
#include <cstdint>

// Scenario file read when the library is first used (format: sim/conflib/README.md).
#define CONFLIB_SIM_SCENARIO_ENV "KESTRUN_CONFLIB_SCENARIO"
// File that every logged call is appended to, one line each.
#define CONFLIB_SIM_LOG_ENV "KESTRUN_CONFLIB_LOG"
// Auto-reset event: signalling it makes the simulator deliver its "demand-event".
#define CONFLIB_SIM_EVENT_NAME "KestrunConfLibSim.Event"

// Replaces the whole state (scenario, device lists, format, callback, log) with the scenario
// text. Returns 0, or the number of the first line it could not read (other lines still apply).
typedef int (*SimLoadScenarioFn)(const char* text);
// Copies the call log, lines separated by '\n', NUL-terminated and cut to size. Returns the
// size the whole log needs, terminator included.
typedef size_t (*SimGetCallLogFn)(char* buffer, size_t size);
typedef void (*SimClearCallLogFn)();
// Delivers an event through the registered callback on the simulator's thread and waits until
// the callback has returned. 0 delivered; 1 no callback registered; 2 library not initialised;
// 3 timed out.
typedef int (*SimFireEventFn)(uint32_t eventType, uint32_t eventCode);
// The device's current format. Returns 0.
typedef int (*SimGetFormatFn)(uint32_t* rateHz, uint32_t* bitDepth, uint32_t* channels);
