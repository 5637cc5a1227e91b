// Candidate order and the preferred-version pick: the sort keeps every
// candidate and orders them as a stable sort by (favoured, server, version)
// would; the pick is the first candidate that the first matching preferred
// entry matches, or the first candidate when none matches.
#include <algorithm>

#include "fuzz_support.h"
#include "runtime/runtime_selection.h"

using namespace corvid;

namespace {

bool matches(const JavaVersion& wanted, const JavaVersion& version) {
    return version.parts == wanted.parts || (wanted.count != 0 && wanted.isPrefixOf(version));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const JvmType type = static_cast<JvmType>(provider.ConsumeIntegralInRange<int>(0, 2));
    const bool favorSource = provider.ConsumeBool();
    const std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(1, 24);
    std::vector<JreCandidate> candidates;
    for (std::size_t i = 0; i < count; ++i) {
        JreCandidate candidate;
        // Small parts so that equal versions, and so ties, are common.
        candidate.version.parse(fromUtf8(provider.ConsumeRandomLengthString(12)), 0);
        candidate.isServer = provider.ConsumeBool();
        candidate.isFavoured = provider.ConsumeBool();
        candidate.home = fromAscii(std::to_string(i));
        candidates.push_back(candidate);
    }
    WideList preferred;
    while (provider.remaining_bytes() > 0 && preferred.size() < 8) {
        preferred.push_back(fromUtf8(provider.ConsumeRandomLengthString(12)));
    }

    std::vector<JreCandidate> expected = candidates;
    const auto key = [&](const JreCandidate& c) {
        return std::make_tuple(favorSource && c.isFavoured, type == JvmType::FavorServer && c.isServer, c.version.parts);
    };
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const JreCandidate& a, const JreCandidate& b) { return key(a) > key(b); });
    sortCandidates(candidates, type, favorSource);
    FUZZ_CHECK(candidates.size() == expected.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) FUZZ_CHECK(candidates[i].home == expected[i].home);

    const PreferredPick pick = pickPreferred(candidates, preferred);
    FUZZ_CHECK(pick.candidate < candidates.size());
    std::optional<std::size_t> firstEntry;
    for (std::size_t e = 0; e < preferred.size() && !firstEntry; ++e) {
        JavaVersion wanted;
        wanted.parse(preferred[e], 0);
        for (const JreCandidate& c : candidates) {
            if (matches(wanted, c.version)) {
                firstEntry = e;
                break;
            }
        }
    }
    FUZZ_CHECK(pick.entry == firstEntry);
    if (pick.entry) {
        JavaVersion wanted;
        wanted.parse(preferred[*pick.entry], 0);
        FUZZ_CHECK(matches(wanted, candidates[pick.candidate].version));
        for (std::size_t i = 0; i < pick.candidate; ++i) FUZZ_CHECK(!matches(wanted, candidates[i].version));
    } else {
        FUZZ_CHECK(pick.candidate == 0);
    }
    return 0;
}
