#include "world.h"

#include <cstdlib>
#include <sstream>

namespace corvid_test_jvm {

namespace {

bool parseNumber(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0';
}

// "print,linger:300,throw" → steps.
bool parseSteps(const std::string& text, Steps& steps) {
    std::istringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        const std::size_t colon = item.find(':');
        const std::string name = item.substr(0, colon);
        Step step{Step::Return};
        if (name == "print") step.kind = Step::Print;
        else if (name == "throw") step.kind = Step::Throw;
        else if (name == "exit") step.kind = Step::Exit;
        else if (name == "linger") step.kind = Step::Linger;
        else if (name == "return") step.kind = Step::Return;
        else if (name == "sleep") step.kind = Step::Sleep;
        else if (name == "wait-stop") step.kind = Step::WaitStop;
        else if (name == "return-arg") step.kind = Step::ReturnArgument;
        else if (name == "inputs") step.kind = Step::Inputs;
        else return false;
        const bool needsValue = step.kind == Step::Exit || step.kind == Step::Linger || step.kind == Step::Sleep;
        if (colon != std::string::npos) {
            if (!parseNumber(item.substr(colon + 1), step.value)) return false;
        } else if (needsValue) {
            return false;
        }
        steps.push_back(step);
    }
    return !steps.empty();
}

std::string unescape(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            result += next == 'n' ? '\n' : next == 't' ? '\t' : next;
        } else {
            result += text[i];
        }
    }
    return result;
}

bool parseClass(std::istringstream& words, World& world) {
    std::string name;
    if (!(words >> name)) return false;
    WorldClass& declared = world.classes[name];
    std::string member;
    while (words >> member) {
        const std::size_t equals = member.find('=');
        if (equals == std::string::npos) return false;
        const std::string key = member.substr(0, equals);
        Steps steps;
        if (!parseSteps(member.substr(equals + 1), steps)) return false;
        if (key == "main") declared.main = steps;
        else if (key == "secondaryMain") declared.secondaryMain = steps;
        else if (key == "secondaryMainInt") declared.secondaryMainInt = steps;
        else return false;
    }
    return true;
}

bool parseLine(const std::string& line, World& world) {
    std::istringstream words(line);
    std::string key;
    if (!(words >> key) || key[0] == '#') return true;
    std::string rest;
    std::getline(words >> std::ws, rest);
    long number = 0;
    if (key == "class") {
        std::istringstream members(rest);
        return parseClass(members, world);
    }
    if (key == "create" && parseNumber(rest, number)) {
        world.createResult = static_cast<int>(number);
    } else if (key == "create-delay" && parseNumber(rest, number)) {
        world.createDelay = number;
    } else if (key == "stack" && parseNumber(rest, number)) {
        world.defaultStackSize = number;
    } else if (key == "charset" && (rest == "utf-8" || rest == "cp1252" || rest == "latin1")) {
        world.charset = rest == "utf-8" ? Charset::Utf8 : rest == "cp1252" ? Charset::Cp1252 : Charset::Latin1;
    } else if (key == "say" && !rest.empty()) {
        world.creationText += unescape(rest);
    } else if (key == "trace" && !rest.empty()) {
        world.trace = unescape(rest);
    } else if (key == "missing" && !rest.empty()) {
        world.missingClasses.insert(rest);
    } else if (key == "fail" && (rest == "detach" || rest == "utfchars")) {
        (rest == "detach" ? world.failDetach : world.failUtfChars) = true;
    } else if (key == "launcher-helper" && rest.empty()) {
        world.launcherHelper = true;
    } else if (key == "management" && rest.empty()) {
        world.management = true;
    } else if (key == "jni" && parseNumber(rest, number) && number >= 8) {
        world.jniVersion = number == 8 ? 0x00010008 : number << 16;
    } else if (key == "lookup-exceptions" && (rest == "yes" || rest == "no")) {
        world.lookupExceptions = rest == "yes";
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::optional<World> parseWorld(const std::string& text, std::string& error) {
    World world;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!parseLine(line, world)) {
            error = "line " + std::to_string(number) + ": " + line;
            return std::nullopt;
        }
    }
    return world;
}

}  // namespace corvid_test_jvm
