// A platform whose console goes to a transcript through the native back end
// with no terminal: what the exit and transcript tests look at.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "backends/native/native_backend.h"
#include "platform/platform.h"

// A platform whose console goes to a transcript in out, through the native
// back end with no terminal.
struct TranscriptPlatform {
  Platform platform;
  NativeBackend native;
};

inline std::unique_ptr<TranscriptPlatform> WithTranscript(std::FILE* out,
                                                          SurfacePresenter presenter = {}) {
  auto tp = std::make_unique<TranscriptPlatform>();
  SetUpPlatform(tp->platform);
  UseTranscript(tp->native.terminal, tp->platform.console, out);
  tp->native.surface = presenter;
  WireNativeBackend(tp->platform, tp->native);
  return tp;
}

// Everything written to f so far.
inline std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  return out;
}
