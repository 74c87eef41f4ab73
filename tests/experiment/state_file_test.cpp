// Saved and continued runs: the moves of one unbroken run, and nothing from
// a file that is not a whole state.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "experiment/initial_grid.h"
#include "experiment/state_file.h"

namespace {

const SimParams Small{16, 24, 150, 0.4, 0.9, 0.3, 3};

std::unique_ptr<Run> MadeRun(const SimParams& p, std::uint32_t seed) {
  auto run = std::make_unique<::Run>();
  SetUpRun(*run, p, seed);
  return run;
}

std::vector<std::uint8_t> Encoded(const Run& run) {
  auto state = std::make_unique<StateBytes>();
  EncodeRunState(run, *state);
  return {state->bytes, state->bytes + state->size};
}

// Decode into a fresh run; null with the reason when refused.
std::unique_ptr<Run> Decoded(const std::vector<std::uint8_t>& bytes, const char** why = nullptr) {
  auto run = std::make_unique<::Run>();
  const char* reason = "";
  const bool read = DecodeRunState(bytes.data(), bytes.size(), *run, reason);
  if (why != nullptr) *why = reason;
  return read ? std::move(run) : nullptr;
}

TEST(StateFile, ASavedRunGoesOnWithTheMovesOfTheUnbrokenRun) {
  auto unbroken = MadeRun(Small, 99);
  StepRun(*unbroken, 12000);
  const std::vector<std::uint8_t> end = Encoded(*unbroken);
  for (std::int32_t at : {0, 1, 777, 4000, 9001}) {
    auto first = MadeRun(Small, 99);
    StepRun(*first, at);
    auto continued = Decoded(Encoded(*first));
    ASSERT_NE(continued, nullptr) << at;
    EXPECT_EQ(continued->T, at);
    StepRun(*continued, 12000 - at);
    // The whole state, the generator's position and the chart included.
    EXPECT_EQ(Encoded(*continued), end) << "saved at T=" << at;
    EXPECT_EQ(continued->reactor.attempts, unbroken->reactor.attempts);
  }
}

TEST(StateFile, AGridStartSavedBeforeAnyDrawAndAFrozenRunComeBackAsTheyWere) {
  auto seeded = MadeRun(Small, 5);
  InitialGrid grid;
  grid.rows = Small.N + 2;
  grid.columns = Small.M + 2;
  for (int r = 0; r < grid.rows; ++r)
    for (int c = 0; c < grid.columns; ++c)
      grid.cells[r][c] = static_cast<std::uint8_t>(seeded->reactor.grid[r][c]);
  auto fromGrid = std::make_unique<::Run>();
  SetUpRunFromGrid(*fromGrid, CellsOf(grid), Small.Ah, Small.Kh, Small.G, Small.rSz, 5);
  auto again = Decoded(Encoded(*fromGrid));  // no draw made yet
  ASSERT_NE(again, nullptr);
  StepRun(*fromGrid, 3000);
  StepRun(*again, 3000);
  EXPECT_EQ(Encoded(*again), Encoded(*fromGrid));

  auto frozen = MadeRun({3, 3, 9, 0.5, 0.5, 0.5, 1}, 0);
  StepRun(*frozen, 5);
  auto thawed = Decoded(Encoded(*frozen));
  ASSERT_NE(thawed, nullptr);
  EXPECT_TRUE(thawed->frozen);
  EXPECT_EQ(StepRun(*thawed, 5).stop, RunStop::Frozen);
}

// The CRC-32 at the end, made right again after a change, so that the
// other checks are the ones that refuse.
void Resealed(std::vector<std::uint8_t>& bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i + 4 < bytes.size(); ++i) {
    c ^= bytes[i];
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  c ^= 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(c >> (8 * i));
}

TEST(StateFile, DamagedTruncatedAndForeignBytesAreRefused) {
  auto run = MadeRun({6, 7, 20, 0.5, 0.5, 0.5, 2}, 3);
  StepRun(*run, 500);
  const std::vector<std::uint8_t> good = Encoded(*run);
  ASSERT_NE(Decoded(good), nullptr);
  for (std::size_t i = 0; i < good.size(); ++i) {
    std::vector<std::uint8_t> flipped = good;
    flipped[i] ^= 0x10;
    ASSERT_EQ(Decoded(flipped), nullptr) << "byte " << i << " flipped";
  }
  for (std::size_t size = 0; size < good.size(); ++size)
    ASSERT_EQ(Decoded({good.begin(), good.begin() + static_cast<long>(size)}), nullptr) << size;
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(Decoded(longer), nullptr);

  const char* why = "";
  EXPECT_EQ(Decoded({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}, &why), nullptr);
  EXPECT_STREQ(why, "not a Lemvaris state file");
  std::vector<std::uint8_t> newer = good;
  newer[8] = 2;  // format version 2
  Resealed(newer);
  EXPECT_EQ(Decoded(newer, &why), nullptr);
  EXPECT_NE(std::strstr(why, "format version"), nullptr) << why;
  // Sealed again after the change: the content itself must be a reactor.
  for (auto [at, value] : {std::pair{12, 0x2C}, {16, 21}, {18, 0}, {52, 7}}) {
    std::vector<std::uint8_t> forged = good;  // N = 300, K = 21 (not 20), rSz = 0, flags
    forged[at] = static_cast<std::uint8_t>(value);
    Resealed(forged);
    EXPECT_EQ(Decoded(forged), nullptr) << "byte " << at;
  }
  std::vector<std::uint8_t> walled = good;
  walled[walled.size() - 4 - 9 - 3] = Wall;  // a wall inside the frame
  Resealed(walled);
  EXPECT_EQ(Decoded(walled), nullptr);
}

}  // namespace
