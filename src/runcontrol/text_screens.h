// The console's own screens: the shaded title frame, the help pager, the
// end-of-run summary with its placeholders, and the error screen of a
// history buffer too small for the graphics surface. Help and summary are
// code page 852 text files, 19 lines a page, read from the working folder or
// else from the program's data folder.
#pragma once

#include <cstdint>
#include <string_view>

#include "runcontrol/program.h"

// Lines shown on one page of the pagers.
inline constexpr int PageLines = 19;
// Capacity of a help line and of a summary line; longer lines are cut.
inline constexpr int HelpLineCapacity = 255;
inline constexpr int SummaryLineCapacity = 80;

// Clear the console, frame it with shade blocks, title it, and make the inner
// text window (3, 3)-(78, 23) current. Leaves graphics mode first if needed.
void ShowTitleScreen(Program& program, std::string_view title);

// Page a help file; a missing file is reported and waited on, not fatal.
void PageHelpFile(Program& program, std::string_view title, std::string_view fileName);

// Close the graphics screen and page the summary with T, N and K filled in,
// then the closing text.
void ShowSummary(Program& program);

// Split line at the first occurrence of placeholder; without one, before
// is the whole line and after is empty.
void SplitAtPlaceholder(std::string_view line, std::string_view placeholder,
                        ShortString<255>& before, ShortString<255>& after);

// Fill "<@T@>", "<@N@>" and "<@K@>" into one summary line, cut at 80.
void SubstitutePlaceholders(ShortString<SummaryLineCapacity>& line, std::int32_t T,
                            std::int16_t N, std::int16_t K);

// The screen for a chart image of imageSize bytes that does not fit the
// history buffer; waits for a key and stops the program (exit code 1).
[[noreturn]] void ShowHistoryBufferError(Program& program, std::int32_t imageSize);
