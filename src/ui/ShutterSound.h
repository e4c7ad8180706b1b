#pragma once

#include <cstdint>

namespace orbisight::ui {

// Plays the shutter sound ("shutter.wav" of the image folder) after a
// snapshot, on a named background thread so the interface never waits for
// the sound device. Nothing is played when ORBISIGHT_AUDIO selects a backend
// without a device ("null", "wav:DIR") or when no device can be opened.
void PlayShutterSound();
// How often the sound was asked for so far, device or not (for tests).
uint64_t ShutterSoundRequests();
// Stops the player thread; called once at exit.
void ShutdownShutterSound();

}  // namespace orbisight::ui
