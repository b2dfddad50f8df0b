#pragma once

// Plays a tone of that frequency and length on ALSA's default device and returns once
// it has played. Where no sound device can be opened, waits the same time in silence,
// so the caller's pacing does not depend on the machine having a sound card.
//
// Blocks the calling thread (the window's, by design) for the tone's length. A device
// that stops taking or playing samples is given up half a second after the tone's end.
// A frequency or duration of zero or less plays nothing and returns at once.
void Beep(int frequencyHz, int durationMs);
