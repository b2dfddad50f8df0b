#pragma once

#include <functional>

// Sounds a tone and returns once it has ended.
using Tone = std::function<void(int frequencyHz, int durationMs)>;
