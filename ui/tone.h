#pragma once

// Plays a tone of that frequency and length on ALSA's default device and returns once
// it has played. Where no sound device can be opened, waits the same time in silence.
void Beep(int frequencyHz, int durationMs);
