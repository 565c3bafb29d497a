// The report of what a command could not do: the few words of the store, and a list that
// ends with "and N more".
#include "problem_list.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(ProblemList, NamesEachFileAndPresetOnceWithItsReasonAndCountsTheRest) {
    ProblemList problems;
    EXPECT_TRUE(problems.Empty());
    StoreReport done;
    problems.AddFile("a.kvp", done, false); // read whole: nothing to say
    EXPECT_TRUE(problems.Empty());

    StoreReport notPreset;
    notPreset.file = StoreReport::FileState::kNotPresetFile;
    StoreReport gone;
    gone.file = StoreReport::FileState::kCannotOpen;
    StoreReport partial;
    partial.Add("Software\\X", "cannot be stored");
    problems.AddFile("notes.txt", notPreset, false);
    problems.AddFile("gone.kvp", gone, false);
    problems.AddFile("full.kvp", gone, true);
    problems.AddFile("part.kvp", partial, false);
    problems.Add("Echo\\Slap", DeleteProblem(DeleteResult::kNoSuchPreset));
    EXPECT_EQ("Heading:\n\nnotes.txt: not a preset file\ngone.kvp: cannot read the file\n"
              "full.kvp: cannot write the file\n"
              "part.kvp: stored without some of its keys or values\nEcho\\Slap: no such preset",
              problems.Text("Heading:"));
    EXPECT_EQ(nullptr, DeleteProblem(DeleteResult::kDeleted));

    ProblemList more;
    for (int i = 0; i < 8; ++i)
        more.Add("f" + std::to_string(i), "x");
    problems.Append(more);
    EXPECT_EQ(13u, problems.Count());
    const std::string text = problems.Text("H");
    EXPECT_NE(std::string::npos, text.find("\nf4: x\nand 3 more"));
    EXPECT_EQ(std::string::npos, text.find("f5"));
    // The heading, its empty line, ten problems and the count.
    EXPECT_EQ(ProblemList::kListedLines + 2,
              static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
}

} // namespace
