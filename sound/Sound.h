// Sound.h -- named sound cues played once each on sixteen channels.
//
// Callers neither wait for nor check a cue; without a sound device every
// call does nothing.
#pragma once

int SoundStart();                    // 1 if the device is open afterwards
void SoundPlay(const char* cueName); // "ShootSound", "PopSound", ...
int SoundReap();                     // channels still playing (0..16)
void SoundShutdown();                // exit hook registered by SoundStart
