#include "start/command_line.h"

#include <algorithm>

namespace corvid {

WideList splitCommandLine(WideView text) {
    WideList result;
    const std::size_t n = text.size();
    std::size_t p = 0;
    while (p < n) {
        if (text[p] == u'"') {
            const std::size_t start = p + 1;
            const std::size_t close = start < n ? text.find(u'"', start) : WideView::npos;
            if (close == WideView::npos) {
                result.emplace_back(text.substr(std::min(start, n)));
                return result;
            }
            result.emplace_back(text.substr(start, close - start));
            p = close + 1;
        } else {
            const std::size_t space = text.find(u' ', p);
            if (space == WideView::npos) {
                result.emplace_back(text.substr(p));
                return result;
            }
            result.emplace_back(text.substr(p, space - p));
            p = space;
        }
        while (p < n && text[p] == u' ') ++p;
    }
    return result;
}

WideList parseCommandLine(WideView commandLine) {
    WideList arguments = splitCommandLine(trimWideSpace(commandLine));
    if (!arguments.empty()) arguments.erase(arguments.begin());
    return arguments;
}

WideList parseCommandLine(const ProcessArguments& process) {
    return process.split ? *process.split : parseCommandLine(process.commandLine);
}

bool hasNoSplashSwitch(const WideList& arguments) {
    const auto has = [&](WideView word) { return std::find(arguments.begin(), arguments.end(), word) != arguments.end(); };
    return has(u"-nosplash") || has(u"/nosplash");
}

}  // namespace corvid
