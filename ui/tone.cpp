#include "tone.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned int PreferredRate = 48000;
// A tenth of a second of buffer lets the window's thread be held up briefly without the
// device running dry, and still ends the tone close to when the caller expects it.
constexpr unsigned int BufferTimeUs = 100'000;
constexpr unsigned int PeriodTimeUs = 25'000;
// Long enough that the start and end of the tone do not click, short enough not to be heard
// as a fade.
constexpr double FadeMs = 5.0;
// Half of full scale: clearly audible without being harsh on small speakers.
constexpr double Amplitude = 0.5 * 32767.0;
constexpr snd_pcm_uframes_t ChunkFrames = 1024;

// How long past the tone's end we keep waiting for the device. A working one has finished
// within our 100 ms buffer plus its own latency (a sound server with a Bluetooth sink adds
// a few hundred ms at most); one that has stopped taking or playing samples never will, and
// then the user should lose no more than a moment at the end of each operation.
constexpr auto GiveUpAfterTone = std::chrono::milliseconds(500);
constexpr auto DrainPollStep = std::chrono::milliseconds(5);

struct PcmCloser
{
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// The tone as the device will play it, sample by sample, so that no buffer for the whole
// tone is needed whatever its length.
class ToneShape
{
public:
    ToneShape(int frequencyHz, int durationMs, unsigned int rate)
        : m_frames(static_cast<std::int64_t>(rate) * durationMs / 1000),
          m_fadeFrames(std::min<std::int64_t>(static_cast<std::int64_t>(rate * FadeMs / 1000.0),
                                              m_frames / 2)),
          m_radiansPerFrame(2.0 * std::numbers::pi * frequencyHz / rate)
    {}

    std::int64_t frames() const { return m_frames; }

    std::int16_t sample(std::int64_t frame) const
    {
        const double value = Amplitude * envelope(frame) * std::sin(m_radiansPerFrame * frame);
        return static_cast<std::int16_t>(std::lround(value));
    }

private:
    // A raised cosine at either end: it leaves no step and no kink for the ear to hear.
    double envelope(std::int64_t frame) const
    {
        const std::int64_t fromEdge = std::min(frame, m_frames - 1 - frame);
        if (fromEdge >= m_fadeFrames)
            return 1.0;
        return 0.5 - 0.5 * std::cos(std::numbers::pi * fromEdge / m_fadeFrames);
    }

    std::int64_t m_frames;
    std::int64_t m_fadeFrames;
    double m_radiansPerFrame;
};

// snd_pcm_wait() takes an int; a second at most is plenty, the caller looks at the deadline
// again after every wait.
int msUntil(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 1000));
}

// Signed 16-bit at the device's nearest rate to ours. Mono is what we ask for; a device that
// insists on more channels gets the same tone on each.
bool configure(snd_pcm_t *pcm, unsigned int &rate, unsigned int &channels)
{
    snd_pcm_hw_params_t *params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    if (snd_pcm_hw_params_any(pcm, params) < 0 ||
        snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
        snd_pcm_hw_params_set_format(pcm, params, SND_PCM_FORMAT_S16) < 0)
        return false;
    channels = 1;
    if (snd_pcm_hw_params_set_channels_near(pcm, params, &channels) < 0)
        return false;
    rate = PreferredRate;
    if (snd_pcm_hw_params_set_rate_near(pcm, params, &rate, nullptr) < 0)
        return false;
    // The buffer sizes are wishes; whatever the device settles on still plays the tone.
    unsigned int bufferTime = BufferTimeUs;
    snd_pcm_hw_params_set_buffer_time_near(pcm, params, &bufferTime, nullptr);
    unsigned int periodTime = PeriodTimeUs;
    snd_pcm_hw_params_set_period_time_near(pcm, params, &periodTime, nullptr);
    return snd_pcm_hw_params(pcm, params) >= 0 && rate > 0 && channels > 0;
}

// Hands the whole tone to the device, waiting for room in its buffer no later than giveUp.
// The device stays non-blocking so that every wait here is ours and bounded.
bool writeTone(snd_pcm_t *pcm, const ToneShape &tone, unsigned int channels,
               Clock::time_point giveUp)
{
    std::vector<std::int16_t> chunk(ChunkFrames * channels);
    std::int64_t nextFrame = 0;
    snd_pcm_uframes_t pending = 0;
    snd_pcm_uframes_t offset = 0;
    while (nextFrame < tone.frames() || pending > 0) {
        if (pending == 0) {
            pending = static_cast<snd_pcm_uframes_t>(
                std::min<std::int64_t>(ChunkFrames, tone.frames() - nextFrame));
            for (snd_pcm_uframes_t i = 0; i < pending; ++i)
                std::fill_n(chunk.begin() + i * channels, channels, tone.sample(nextFrame + i));
            nextFrame += pending;
            offset = 0;
        }
        if (Clock::now() >= giveUp)
            return false;
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, chunk.data() + offset * channels, pending);
        if (written == -EAGAIN) {
            snd_pcm_wait(pcm, msUntil(giveUp));
        } else if (written == -EPIPE) {
            // The device ran dry while this thread was held up: start it again and go on.
            // Not snd_pcm_recover(): for a suspended device it waits without a bound.
            if (snd_pcm_prepare(pcm) < 0)
                return false;
        } else if (written < 0) {
            return false;
        } else {
            offset += static_cast<snd_pcm_uframes_t>(written);
            pending -= static_cast<snd_pcm_uframes_t>(written);
        }
    }
    return true;
}

// Lets the device play out what it holds. In non-blocking mode snd_pcm_drain() only starts
// or moves the drain along and answers -EAGAIN, and the kernel keeps answering -EAGAIN even
// once the drain has ended, so the state tells when it is done. A drain still running at
// giveUp is dropped. (A plugin that blocks inside drain despite non-blocking mode is beyond
// our reach here.)
void drainTone(snd_pcm_t *pcm, Clock::time_point giveUp)
{
    for (;;) {
        if (snd_pcm_drain(pcm) != -EAGAIN || snd_pcm_state(pcm) != SND_PCM_STATE_DRAINING)
            return;
        const auto now = Clock::now();
        if (now >= giveUp) {
            snd_pcm_drop(pcm);
            return;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(DrainPollStep, giveUp - now));
    }
}

// ALSA prints its own complaints on stderr; a missing sound device is expected here and
// answered with silence, so they say nothing the operator needs.
void quietAlsaError(const char *, int, const char *, int, const char *, ...) {}

void playOnDefaultDevice(int frequencyHz, int durationMs, Clock::time_point giveUp)
{
    snd_lib_error_set_handler(quietAlsaError);
    snd_pcm_t *opened = nullptr;
    // Non-blocking, so that a device another program holds fails the open instead of
    // holding up the window until it is free.
    if (snd_pcm_open(&opened, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return;
    const PcmHandle pcm(opened);
    // Once more, explicitly: plugins built on ALSA's ioplug (the PulseAudio and PipeWire
    // bridges among them) take non-blocking mode only from this call, not from the open's
    // flag, and would otherwise wait in drain with no bound.
    if (snd_pcm_nonblock(pcm.get(), 1) < 0)
        return;

    unsigned int rate = 0;
    unsigned int channels = 0;
    if (!configure(pcm.get(), rate, channels))
        return;
    const ToneShape tone(frequencyHz, durationMs, rate);
    // Closing drops whatever a failed write left behind.
    if (tone.frames() > 0 && writeTone(pcm.get(), tone, channels, giveUp))
        drainTone(pcm.get(), giveUp);
}

} // namespace

void Beep(int frequencyHz, int durationMs)
{
    if (frequencyHz <= 0 || durationMs <= 0)
        return;
    const auto start = Clock::now();
    const auto toneEnd = start + std::chrono::milliseconds(durationMs);

    playOnDefaultDevice(frequencyHz, durationMs, toneEnd + GiveUpAfterTone);

    // The tone paces what the user sees around it. Without a device, after a failure, or on a
    // sink that takes samples faster than it plays them, the rest of its time passes in silence.
    std::this_thread::sleep_until(toneEnd);
}
