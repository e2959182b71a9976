#include "core/automation/PatternSet.h"

#include <algorithm>
#include <string>

namespace {

// The set's budget for its compiled program and matching cache, for all patterns together.
constexpr std::int64_t SET_MEMORY = 8 << 20;

} // namespace

CPatternSet::CPatternSet(const std::vector<const re2::RE2*>& patterns)
    : count(static_cast<int>(patterns.size())) {
    re2::RE2::Options options;
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_max_mem(SET_MEMORY);
    options.set_log_errors(false);
    set = std::make_unique<re2::RE2::Set>(options, re2::RE2::UNANCHORED);
    for (int i = 0; i < count; ++i) {
        const re2::RE2* pattern = patterns[static_cast<std::size_t>(i)];
        if (pattern == nullptr) {
            always.push_back(i);
            continue;
        }
        // One set, one set of options: each pattern brings its own case rule inline.
        const std::string entry = pattern->options().case_sensitive()
                                      ? pattern->pattern()
                                      : "(?i:" + pattern->pattern() + ")";
        std::string error;
        if (set->Add(entry, &error) < 0) {
            set.reset();
            return;
        }
        ruleOfEntry.push_back(i);
    }
    if (!set->Compile()) {
        set.reset();
    }
}

void CPatternSet::Candidates(std::string_view text, std::vector<int>& out) const {
    out.clear();
    std::vector<int> entries;
    re2::RE2::Set::ErrorInfo error{};
    if (set == nullptr ||
        (!set->Match(re2::StringPiece(text.data(), text.size()), &entries, &error) &&
         error.kind != re2::RE2::Set::kNoError)) {
        for (int i = 0; i < count; ++i) {
            out.push_back(i);
        }
        return;
    }
    out = always;
    for (const int entry : entries) {
        out.push_back(ruleOfEntry[static_cast<std::size_t>(entry)]);
    }
    std::sort(out.begin(), out.end());
}
