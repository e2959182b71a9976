#pragma once
// All the triggers' patterns in one pass over a line, so that a line costs about the same with a
// hundred rules as with one; only the patterns that match are then run alone, for the text they
// matched.

#include <memory>
#include <string_view>
#include <vector>

#include <re2/re2.h>
#include <re2/set.h>

class CPatternSet {
  public:
    // `patterns` in rule order; a null entry stands for a rule without a pattern, which every
    // line matches.
    explicit CPatternSet(const std::vector<const re2::RE2*>& patterns);

    // The indexes into `patterns`, in order, that may match `text`: exactly those that do, or
    // all of them when the one pass could not be made (out of its memory bound).
    void Candidates(std::string_view text, std::vector<int>& out) const;

  private:
    int count;
    std::vector<int> always;            // rules without a pattern
    std::vector<int> ruleOfEntry;       // the set's entries -> indexes into `patterns`
    std::unique_ptr<re2::RE2::Set> set; // empty when it could not be built
};
