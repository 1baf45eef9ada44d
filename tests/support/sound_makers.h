#pragma once
// Signed 8-bit test sounds: steady tones, silence, and a speech-like signal (voiced bursts with
// moving pitch and loudness, separated by pauses) that exercises every state of the packer.
#include <cmath>
#include <cstdint>
#include <vector>

namespace sound {

inline std::vector<int8_t> Tone(size_t samples, double amplitude, double period, double phase = 0.0) {
    std::vector<int8_t> s(samples);
    for (size_t i = 0; i < samples; ++i)
        s[i] = static_cast<int8_t>(std::lround(amplitude * std::sin(phase + 2.0 * M_PI * static_cast<double>(i) / period)));
    return s;
}

inline std::vector<int8_t> Silence(size_t samples) { return std::vector<int8_t>(samples, 0); }

inline void Append(std::vector<int8_t>& to, const std::vector<int8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }

// Deterministic; `samples` long at any rate.
inline std::vector<int8_t> SpeechLike(size_t samples, uint32_t seed = 1) {
    std::vector<int8_t> s(samples, 0);
    uint32_t r = seed;
    auto next = [&r]() {
        r = r * 1664525u + 1013904223u;
        return r >> 8;
    };
    size_t i = 0;
    while (i < samples) {
        const size_t burst = 2000 + next() % 6000;
        const size_t pause = 500 + next() % 3000;
        const double pitch = 40.0 + next() % 60;
        for (size_t k = 0; k < burst && i < samples; ++k, ++i) {
            const double env = std::sin(M_PI * static_cast<double>(k) / static_cast<double>(burst));
            const double t = static_cast<double>(k);
            const double v = 60.0 * env * (std::sin(2 * M_PI * t / pitch) + 0.5 * std::sin(6 * M_PI * t / pitch)) +
                             static_cast<double>(next() % 9) - 4.0;
            s[i] = static_cast<int8_t>(std::lround(std::fmax(-127.0, std::fmin(127.0, v))));
        }
        for (size_t k = 0; k < pause && i < samples; ++k, ++i) s[i] = static_cast<int8_t>(next() % 3) - 1;
    }
    return s;
}

}  // namespace sound
