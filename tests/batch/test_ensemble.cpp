// What a run folder keeps for the ensemble (ensemble-member.txt) reads back
// as written, and a broken one is refused with what is wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "batch/ensemble.h"
#include "support/scratch.h"

namespace quarvel::batch {
namespace {

// Two validation steps and one past the data, with 3 summary points a step.
EnsembleMember small_member() {
  EnsembleMember member;
  member.seed = 4;
  member.stream = 17;
  member.population = 2;
  member.low = 0.1;
  member.high = 190.2;
  member.mase_scale = {16.161818181818180, {}};
  member.first_index = 340;
  member.held_out = {0.1 + 0.2, 0.0};
  member.forecast = {1.0 / 3.0, -2.5e-300, std::numeric_limits<double>::quiet_NaN()};
  member.past_data_steps = 1;
  member.summary.points_per_step = 3;
  member.summary.points = {
      0.125, 0.25, 0.5, -1.0, 0.0, 1.0, 0.5, 1.0, std::numeric_limits<double>::infinity()};
  return member;
}

TEST(EnsembleMember, ReadsBackAsWritten) {
  const EnsembleMember member = small_member();
  const std::string text = member_text(member);
  EXPECT_EQ(text.substr(text.find("summary-points")),
            "summary-points 3\n"
            "340 0.30000000000000004 0.33333333333333331 0.125 0.25 0.5\n"
            "341 0 -2.5e-300 -1 0 1\n"
            "342 - nan 0.5 1 inf\n");
  EnsembleMember read;
  ASSERT_EQ(parse_member(text, read), std::nullopt);
  EXPECT_EQ(member_text(read), text);
  EXPECT_EQ(read.held_out, member.held_out);
  EXPECT_EQ(read.summary.steps(), 3);
  EXPECT_EQ(read.mase_scale, member.mase_scale);

  // Without bands, and a MASE that cannot be given.
  EnsembleMember bare = member;
  bare.summary = {};
  bare.mase_scale = {std::nullopt, "the training values never change"};
  ASSERT_EQ(parse_member(member_text(bare), read), std::nullopt);
  EXPECT_EQ(read.summary.points_per_step, 0);
  EXPECT_EQ(read.mase_scale, bare.mase_scale);
  EXPECT_EQ(read.forecast.size(), 3u);
}

TEST(EnsembleMember, BrokenMembersAreRefused) {
  const std::string good = member_text(small_member());
  const auto replaced = [&good](const std::string& from, const std::string& to) {
    return quarvel::testing::replaced(good, from, to);
  };
  struct Case {
    std::string text;
    std::string problem;
  };
  const Case cases[] = {
      {"quarvel-cli run record\n",
       "not an ensemble member (its first line is not \"quarvel-cli ensemble member\")"},
      {good.substr(0, good.size() - 1), "the file ends within a line"},
      {replaced("stream 17\n", ""), "line 3 is not \"stream\""},
      {replaced("past-data-steps 1", "past-data-steps -1"),
       "\"past-data-steps\" has a value that cannot be read"},
      {replaced("342 - nan 0.5 1 inf\n", ""), "it gives 2 steps for 3"},
      {replaced("341 0 ", "343 0 "), "step line 2: the index does not follow the line before"},
      {replaced(" -1 0 1\n", " -1 0\n"), "step line 2 has 5 numbers, not 6"},
      {replaced("342 - ", "342 0.5 "), "step line 3: a held-out value past the data"},
      {replaced(" 0.125 ", " eighth "), "step line 1: a summary point cannot be read"},
  };
  for (const Case& c : cases) {
    EnsembleMember read;
    EXPECT_EQ(parse_member(c.text, read), c.problem) << c.text;
  }
}

}  // namespace
}  // namespace quarvel::batch
