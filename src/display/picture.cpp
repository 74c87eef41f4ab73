// The quiet mode's screen off a window: picture.h.
#include "display/picture.h"

void StartPicture(Picture& picture, const Reactor& reactor) {
  GraphSurface& g = picture.surface;
  InitGraph(g);
  ClearViewPort(g);
  SetTextJustify(g, LeftText, TopText);
  std::int32_t imageSize = 0;
  // The 640 x 480 layout always fits the history buffer.
  LayOutWindows(picture.screen, g, reactor.params, ModeNames[Csendes], imageSize);
  CopyRowCounts(picture.screen, reactor);
  DrawInitialScreen(picture.screen, g, reactor, 0);
  UpdateScreen(picture.screen, g, reactor, Csendes, ModeNames[Csendes], 0);
}

void UpdatePicture(Picture& picture, const Reactor& reactor, std::int32_t T) {
  UpdateScreen(picture.screen, picture.surface, reactor, Csendes, ModeNames[Csendes], T);
}

void FinishPicture(Picture& picture, const Reactor& reactor, std::int32_t T) {
  // A refresh step has had its full refresh in UpdatePicture.
  if (T % RefreshInterval != 0)
    RefreshAllWindows(picture.screen, picture.surface, reactor, ModeNames[Csendes], T);
}
