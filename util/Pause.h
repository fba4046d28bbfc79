#pragma once

// Waits about Seconds while the window keeps handling its events. The process
// sleeps between events; the clock is monotonic, so midnight or a change of
// the wall clock does not stretch the wait.
void Pause(double Seconds);
