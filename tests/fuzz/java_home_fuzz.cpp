// Registry contents from outside: a runtime folder is taken only from a
// string value, is the text before the value's first NUL, is never empty or
// longer than a path can be, and every such value is taken.
#include "fuzz_support.h"
#include "runtime/runtime_registry.h"

using namespace corvid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    JavaHomeValue value;
    value.status = static_cast<JavaHomeValue::Status>(provider.ConsumeIntegralInRange<int>(0, 4));
    value.type = provider.ConsumeIntegralInRange<std::uint32_t>(0, 12);
    const bool longText = provider.ConsumeBool();
    const std::string rest = provider.ConsumeRemainingBytesAsString();
    value.data.assign(rest.begin(), rest.end());
    if (longText) {
        // Stretch the text to around the length limit.
        const std::size_t target = (kMaxJavaHomeLength - 2 + value.data.size() % 5) * 2;
        if (value.data.size() < target) {
            std::vector<std::uint8_t> padding(target - value.data.size(), 0);
            for (std::size_t i = 0; i < padding.size(); i += 2) padding[i] = 'a';
            value.data.insert(value.data.begin(), padding.begin(), padding.end());
        }
    }

    const DecodedJavaHome decoded = decodeJavaHome(value);
    const WideString units = fuzz::unitsOf({reinterpret_cast<const char*>(value.data.data()), value.data.size()});
    const std::size_t nul = units.find(u'\0');
    const bool usable = value.status == JavaHomeValue::Status::Found &&
                        (value.type == kRegistryString || value.type == kRegistryExpandString) &&
                        nul != WideString::npos && nul > 0 && nul <= kMaxJavaHomeLength;
    FUZZ_CHECK(decoded.folder.has_value() == usable);
    if (decoded.folder) {
        FUZZ_CHECK(*decoded.folder == units.substr(0, nul));
    } else {
        FUZZ_CHECK(decoded.problem != nullptr && decoded.problem[0] != '\0');
    }
    // A value written from a text reads back as that text.
    if (!units.empty() && nul == WideString::npos && units.size() <= kMaxJavaHomeLength) {
        const DecodedJavaHome again = decodeJavaHome(JavaHomeValue::fromText(units));
        FUZZ_CHECK(again.folder && *again.folder == units);
    }
    return 0;
}
