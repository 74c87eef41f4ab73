// KeyPressed, ReadKey and Delay over the one key queue, which the terminal,
// the window and the script feed.
//
// KeyPressed costs next to nothing when polled in a tight loop: the sources
// are looked at only every KeyPollIntervalUs (see PollThrottle). ReadKey
// shows the window first, then waits, polling the sources in short slices so
// the window stays responsive. A signal that asks the program to end ends it
// in any of these (exit code 128 + signal).
//
// Closing the window is an end request: EndRequested turns true and the key
// V is put in the queue once, so the run ends as V would. When afterwards no
// key can come from anywhere, every wait gets a V at once, so what follows
// (the summary pager) runs through without hanging. When no key can ever come
// (no terminal, no window) and nothing asked for the end, a wait ends the
// program with "Runtime error 100: nincs billentyűzet" (the scripted
// platform: ScriptKeysExhaustedExitCode, see scripted.h).
#pragma once

struct Platform;

// True when a key is waiting; consumes nothing.
bool KeyPressed(Platform& platform);
// The next key, waiting as long as it takes; a key without a character gives
// 0 and then, at the next call, its scan code.
char ReadKey(Platform& platform);
// Wait ms milliseconds; keys typed meanwhile stay in the queue.
void Delay(Platform& platform, int ms);
// The window was closed.
bool EndRequested(const Platform& platform);
// Look at every key source now (no throttle) and bring the terminal up to date.
void PumpKeys(Platform& platform);
