// The option list handed to the JVM: the class path, the "Virtual Machine
// Parameters" split into options with their quotes removed, memory sizes
// given as a share of the machine's memory, and the Java thread's stack size.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

class Launcher;

enum class JvmOptionsResult {
    Built,
    // A main class without a class path (message shown), or the configuration
    // file path cannot be formed (silently): the JVM still starts, without
    // these options.
    Incomplete,
    // The options cannot be handed to the JVM (message shown): the start fails.
    Refused,
};

// Appends the class path option (the jar with "Main Jar", else [Class Path],
// else a -cp among the VM parameters), the VM parameters and the user's
// options, the main module, corvid.executable (the launcher's path) and, as
// java sets them, sun.java.command and sun.java.launcher (each unless an
// option sets it) to jvmOptions and reads the redirection files. java's
// -cp and -splash: never reach the JVM.
// The paths the JVM opens (class path, the jar, module path entries) go by
// their short names where the narrow form cannot hold them; one without a
// short name refuses the start.
JvmOptionsResult buildJvmOptions(Launcher& launcher);

// The program as java names it: the main class with dots, the jar, or
// module[/class].
WideString mainTarget(const Launcher& launcher);
// -Dsun.java.command= followed by the program (mainTarget unless given) and
// its arguments, separated by blanks, as java sets it for tools that name
// running programs.
WideString javaCommandOption(const Launcher& launcher, std::optional<WideView> program = std::nullopt);

// The tokens of the parameter text, quotes still in them: only U+0020
// separates, and spaces inside a closed quote pair do not.
WideList splitVmParameters(WideView text);
// Removes the quote pairs of one token; a doubled closing quote keeps one.
void removeQuotes(WideString& token);
// The memory share and the stack size of one token, its quotes removed.
void applySizeOption(Launcher& launcher, WideString& token);

// java's options that take their value from the next token (`-p X`,
// `--add-opens X`). The JVM itself accepts only `--name=value`, so each such
// token is joined with the one after it. Returns the long name the joined
// option takes (`-p` gives `--module-path`); nothing for any other token.
std::optional<WideView> optionTakingNextToken(WideView token);
// Joins every such token from `from` on with the token after it, in place.
// Returns the name of one that has nothing after it.
std::optional<WideString> joinOptionValues(WideList& tokens, std::size_t from);

// java's options that its own launcher takes and never hands the JVM, as
// people copy them from a java command line into the VM parameters.
struct LauncherOptions {
    struct ClassPath {
        WideString name;  // as written: -cp, -classpath or --class-path
        WideString value;
    };
    // `-cp X`, `-classpath X`, `--class-path X` and `--class-path=X`, in order.
    std::vector<ClassPath> classPaths;
    // The files of `-splash:FILE`, in order.
    WideList splashPictures;
    // A class path name with nothing after it.
    std::optional<WideString> dangling;
};
// Takes them out of the tokens (their quotes already removed). The token
// after one of java's two-token forms is that option's value, whatever it
// is, as java takes it.
LauncherOptions takeLauncherOptions(WideList& tokens);
// The picture of the last `-splash:` among the configuration's VM parameters,
// its %NAME% references expanded; empty when there is none.
WideString splashOptionPicture(Launcher& launcher);

// The class path with every wildcard entry (`lib/*`, `lib\*` on Windows, `*`
// alone) replaced by the .jar files of its folder in name order, as java -cp
// expands them: not recursively, letter case of ".jar" ignored on Windows. An
// entry whose folder cannot be listed stays as written; a folder without jars
// contributes nothing.
WideString expandClassPathWildcards(FileSystem& files, WideView classPath, char16_t listSeparator);

// -Xms, -Xmx or -Xss ending in P/p (share of physical memory) or T/t (share of
// the free address space).
bool isMemoryPercentOption(WideView token);
// Rewrites such a token to its prefix followed by the size in kilobytes.
void applyMemoryPercent(WideString& token, Memory& memory);

struct NumberList {
    std::size_t start = 0;  // first digit or ':'; the text's length when none
    std::vector<std::uint64_t> numbers;
};
// Digits form numbers, ':' starts the next one, anything else is skipped.
NumberList parseNumberList(WideView text);

// The stack size that the text after "-Xss" asks for, in bytes; nullopt when
// the text is not exactly one number with an optional unit.
std::optional<std::uint64_t> parseStackSize(WideView text);

// %NAME% expansion with the system's rules, in place; unchanged on failure.
void expandEnvironment(Environment& environment, WideString& text);

}  // namespace corvid
