// Placeholder until the ALSA tone is written.
#include "tone.h"

#include <thread>

void Beep(int, int durationMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
}
