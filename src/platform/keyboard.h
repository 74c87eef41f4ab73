// KeyPressed, ReadKey and Delay over the one key queue, which the back end
// feeds.
//
// KeyPressed costs next to nothing when polled in a tight loop: the back end
// is asked for keys only every KeyPollIntervalUs (see PollThrottle). ReadKey
// shows the surface first, then waits, asking the back end in short slices so
// that a window stays responsive.
//
// An end request (the window closed) puts the key V in the queue once, so
// the run ends as V would. When afterwards no key can come from anywhere,
// every wait gets a V at once, so what follows (the summary pager) runs
// through without hanging. When no key can ever come and nothing asked for
// the end, a wait ends the program with the platform's noKeysExit ("Runtime
// error 100: nincs billentyűzet").
#pragma once

#include <string_view>

struct KeyQueue;
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
// Ask the back end for keys now (no throttle) and bring the console up to date.
void PumpKeys(Platform& platform);
// Every character of text into the queue as its code page 852 byte; control
// characters, characters the code page lacks and malformed bytes are
// dropped. Returns the number of keys put in.
int PushTypedText(KeyQueue& keys, std::string_view text);
