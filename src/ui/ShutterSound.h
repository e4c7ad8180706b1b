#pragma once

namespace orbisight::ui {

// Plays the shutter sound ("shutter.wav" of the image folder) after a
// snapshot, on a named background thread so the interface never waits for
// the sound device. Nothing is played when ORBISIGHT_AUDIO selects a backend
// without a device ("null", "wav:DIR") or when no device can be opened.
void PlayShutterSound();
// Stops the player thread; called once at exit.
void ShutdownShutterSound();

}  // namespace orbisight::ui
