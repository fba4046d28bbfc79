#pragma once

class QWidget;

// Reports how long the process took to get its window up: the first time the
// event loop is about to sleep while the window is shown and exposed, it
// prints one JSON line
//
//   {"startup_ms": ..., "peak_rss_kb": ..., "rss_kb": ...}
//
// and ends the program. The time counts from VORMANT_BENCH_T0_NS (the
// parent's CLOCK_MONOTONIC just before it started this process) when that is
// set, else from the probe's creation.
void ReportWhenShownAndIdle(QWidget *window);
