#include "runcontrol/text_screens.h"

#include "platform/program_exit.h"
#include "platform/text_file.h"
#include "runcontrol/graphics_mode.h"
#include "runcontrol/modes.h"

namespace {

constexpr char ShadeBlock = static_cast<char>(178);

// Open fileName from the working folder, or else from the data folder.
int OpenDataFile(const Program& p, TextFile& file, std::string_view fileName) {
  Assign(file, fileName);
  int result = Reset(file);
  if (result == 0 || p.dataFolder.length == 0) return result;
  ShortString<255> path;
  Append(path, p.dataFolder.view());
  Append(path, "/");
  Append(path, fileName);
  Assign(file, path.view());
  return Reset(file) == 0 ? 0 : result;
}

void ReportMissingFile(Program& p, std::string_view message) {
  Console& c = p.platform->console;
  HighVideo(c);
  Writeln(c, message);
  NormVideo(c);
  char key;
  ReadKeyAndSwitchMode(p, key);
}

// Show the file page by page, each line passed through edit first.
template <int Capacity, typename Edit>
void PageFile(Program& p, TextFile& file, std::string_view title, Edit&& edit) {
  Console& c = p.platform->console;
  while (!Eof(file)) {
    ShowTitleScreen(p, title);
    int i = 1;
    do {
      if (i > 1) Writeln(c);
      ShortString<Capacity> line;
      Readln(file, line);
      edit(line);
      Write(c, line.view());
      ++i;
    } while (!Eof(file) && i != PageLines + 1);
    char key;
    ReadKeyAndSwitchMode(p, key);
  }
  Close(file);
}

// Replace every occurrence of placeholder in line by value.
void ReplaceAll(ShortString<SummaryLineCapacity>& line, std::string_view placeholder,
                std::int32_t value) {
  while (line.view().find(placeholder) != std::string_view::npos) {
    ShortString<255> before, after;
    SplitAtPlaceholder(line.view(), placeholder, before, after);
    AppendInt(before, value);
    Append(before, after.view());
    Assign(line, before.view());
  }
}

}  // namespace

void ShowTitleScreen(Program& p, std::string_view title) {
  if (p.run.consoleActive == 0) CloseGraphics(p);
  p.run.consoleActive = 1;
  Console& c = p.platform->console;
  Window(c, 1, 1, 80, 25);
  ClrScr(c);
  for (int x = 2; x <= 79; ++x) {
    GotoXY(c, x, 1);
    Write(c, ShadeBlock);
    GotoXY(c, x, 24);
    Write(c, ShadeBlock);
  }
  for (int y = 1; y <= 24; ++y) {
    GotoXY(c, 1, y);
    Write(c, ShadeBlock);
    GotoXY(c, 80, y);
    Write(c, ShadeBlock);
  }
  HighVideo(c);
  GotoXY(c, 40 - static_cast<int>(title.size()) / 2, 1);
  Write(c, title);
  NormVideo(c);
  Window(c, 3, 3, 78, 23);
}

void PageHelpFile(Program& p, std::string_view title, std::string_view fileName) {
  TextFile file;
  if (OpenDataFile(p, file, fileName) != 0) {
    ReportMissingFile(p, CP852("  Nincs meg a tájékoztató fájl!!!  "));
    return;
  }
  PageFile<HelpLineCapacity>(p, file, title, [](ShortString<HelpLineCapacity>&) {});
}

void SplitAtPlaceholder(std::string_view line, std::string_view placeholder,
                        ShortString<255>& before, ShortString<255>& after) {
  const std::size_t at = line.find(placeholder);
  if (at == std::string_view::npos) {  // nothing to split: all of it comes before
    Assign(before, line);
    Assign(after, {});
    return;
  }
  Assign(before, line.substr(0, at));
  Assign(after, line.substr(at + placeholder.size()));
}

void SubstitutePlaceholders(ShortString<SummaryLineCapacity>& line, std::int32_t T,
                            std::int16_t N, std::int16_t K) {
  ReplaceAll(line, "<@T@>", T);
  ReplaceAll(line, "<@N@>", N);
  ReplaceAll(line, "<@K@>", K);
}

void ShowSummary(Program& p) {
  char key;
  ReadKeyAndSwitchMode(p, key);  // takes at most one waiting key, never waits
  p.run.consoleActive = 1;
  CloseGraphics(p);
  constexpr std::string_view title = " Lemvaris ";
  ShowTitleScreen(p, title);
  TextFile file;
  if (OpenDataFile(p, file, "kervatin.sum") != 0) {
    ReportMissingFile(p, CP852("  Nincs meg az összefoglaló fájl!!!  "));
  } else {
    const std::int32_t T = p.experiment->T;
    const SimParams& params = p.experiment->reactor.params;
    PageFile<SummaryLineCapacity>(p, file, title, [&](ShortString<SummaryLineCapacity>& line) {
      SubstitutePlaceholders(line, T, params.N, params.K);
    });
  }
  Console& c = p.platform->console;
  ClrScr(c);
  GotoXY(c, 25, 10);
  Writeln(c, CP852("Itt a vége fuss el véle!!!!"));
}

void ShowHistoryBufferError(Program& p, std::int32_t imageSize) {
  CloseGraph(*p.graph);
  ShowTitleScreen(p, CP852("Hibaüzenet!"));
  Console& c = p.platform->console;
  Writeln(c, CP852("Sajnos kicsi a hisztogram-mentéshez rendelt temporális memória,"));
  Writeln(c, CP852("ezért a program nem tud futni. Megáll."));
  Writeln(c);
  Writeln(c, CP852("A \"puffMeret\" konstans értékét növelni kell ekkorára:"));
  Writeln(c, imageSize);
  Writeln(c, CP852("Szólj a programozónak! :)"));
  Writeln(c);
  char key;
  ReadKeyAndSwitchMode(p, key);
  ExitProgram(1);
}
