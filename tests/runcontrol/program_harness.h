// A whole program on the scripted platform: keys and answer lines from a
// script, help and summary files in a fresh folder, every console row that
// was ever cleared or scrolled away kept, so tests can read all the text the
// person saw.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "platform/fatal.h"
#include "platform/graph.h"
#include "support/scripted_backend.h"
#include "runcontrol/program.h"

struct ProgramHarness {
  ScriptedPlatform sp;
  GraphSurface graph;
  Run experiment;
  Screen screen;
  Program program;
  std::string seen;  // console rows as they were before each clear or scroll
  std::string folder;
};

inline void KeepErasedRows(void* context, Console& console) {
  auto& h = *static_cast<ProgramHarness*>(context);
  for (int y = 1; y <= ConsoleHeight; ++y) {
    char row[ConsoleWidth];
    int n = ConsoleRowText(console, y, row);
    h.seen.append(row, n);
    h.seen.push_back('\n');
  }
}

// A harness with these keys and answers; the data folder holds the given
// help and summary texts (code page 852); a null text leaves the file out.
inline std::unique_ptr<ProgramHarness> MakeHarness(std::string_view keys, std::string_view lines,
                                                   const char* help = "Egy sor.",
                                                   const char* summary = "T=<@T@>") {
  auto h = std::make_unique<ProgramHarness>();
  SetUpScriptedPlatform(h->sp, keys, lines);
  SetUpProgram(h->program, h->sp.platform, h->graph, h->experiment, h->screen);
  h->sp.platform.console.eraseHook = {h.get(), KeepErasedRows};
  char pattern[] = "/tmp/lemvaris-test-XXXXXX";
  h->folder = mkdtemp(pattern);
  if (help) std::ofstream(h->folder + "/kervatin.hlp", std::ios::binary) << help;
  if (summary) std::ofstream(h->folder + "/kervatin.sum", std::ios::binary) << summary;
  Assign(h->program.dataFolder, h->folder);
  return h;
}

// Run the whole program; returns its exit code.
inline int RunWhole(ProgramHarness& h) {
  return RunWithPlatform(h.sp.platform, [&](Platform&) { RunProgram(h.program); });
}

// Run one piece of the program as the platform would; returns the exit code.
template <typename Body>
int RunPiece(ProgramHarness& h, Body&& body) {
  return RunWithPlatform(h.sp.platform, [&](Platform&) { body(h.program); });
}

// Everything the console showed: the erased rows, then the final screen.
inline std::string AllText(ProgramHarness& h) {
  std::string text = h.seen;
  for (int y = 1; y <= ConsoleHeight; ++y) {
    char row[ConsoleWidth];
    text.append(row, ConsoleRowText(h.sp.platform.console, y, row));
    text.push_back('\n');
  }
  return text;
}

inline std::string ScreenRow(ProgramHarness& h, int y) {
  char row[ConsoleWidth];
  return std::string(row, ConsoleRowText(h.sp.platform.console, y, row));
}

inline bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

inline int Occurrences(const std::string& text, std::string_view part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Answers for a small reactor: N, M, K, Ah, Kh, G, rSz.
inline constexpr std::string_view SmallAnswers = "20\n20\n100\n0.5\n0.8\n0.2\n2\n";

// Row y of the title screen's inner text window (columns 3..78), trailing
// blanks removed.
inline std::string InnerRow(ProgramHarness& h, int y) {
  std::string row = ScreenRow(h, y);
  row.resize(ConsoleWidth, ' ');
  row = row.substr(2, 76);
  return row.substr(0, row.find_last_not_of(' ') + 1);
}
