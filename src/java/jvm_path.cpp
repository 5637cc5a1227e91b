#include "java/jvm_path.h"

#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

// Path lists use the separator of the other search-path lists.
constexpr char16_t kListSeparator = kSearchPathSeparator;

void refuse(Launcher& launcher, WideView path) {
    UserInterface& ui = launcher.platform.ui;
    const WideString text = formatMessage(ui, MessageId::PathNotPassable, {path});
    if (launcher.trace.enabled()) launcher.trace.line(text);
    showError(ui, launcher.owner(), text);
}

}  // namespace

bool fitsNarrow(WideView text) { return fromNarrow(toNarrow(text)) == text; }

std::optional<WideString> jvmOpenablePath(ShortPaths& shortPaths, WideView path) {
    if (fitsNarrow(path)) return WideString(path);
    WideString result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(kPathSeparators, start);
        if (end == WideView::npos) end = path.size();
        const WideView component = path.substr(start, end - start);
        if (fitsNarrow(component)) {
            result += component;
        } else {
            // The short name of this component is the last one of the short
            // form of the path up to it.
            const auto shortForm = shortPaths.shortPath(WideString(path.substr(0, end)));
            if (!shortForm) return std::nullopt;
            const std::size_t cut = shortForm->find_last_of(kPathSeparators);
            const WideString name = shortForm->substr(cut == WideString::npos ? 0 : cut + 1);
            if (name.empty() || !fitsNarrow(name)) return std::nullopt;
            result += name;
        }
        if (end == path.size()) break;
        result += path[end];
        start = end + 1;
    }
    return result;
}

std::optional<WideString> jvmOpenablePathList(ShortPaths& shortPaths, WideView list, WideString* refused) {
    WideString result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = list.find(kListSeparator, start);
        if (end == WideView::npos) end = list.size();
        const WideView entry = list.substr(start, end - start);
        const auto mapped = jvmOpenablePath(shortPaths, entry);
        if (!mapped) {
            if (refused) *refused = WideString(entry);
            return std::nullopt;
        }
        result += *mapped;
        if (end == list.size()) return result;
        result += kListSeparator;
        start = end + 1;
    }
}

std::optional<WideString> pathForJvm(Launcher& launcher, WideView path) {
    auto mapped = jvmOpenablePath(launcher.platform.shortPaths, path);
    if (!mapped) refuse(launcher, path);
    return mapped;
}

std::optional<WideString> pathListForJvm(Launcher& launcher, WideView list) {
    WideString refused;
    auto mapped = jvmOpenablePathList(launcher.platform.shortPaths, list, &refused);
    if (!mapped) refuse(launcher, refused);
    return mapped;
}

}  // namespace corvid
