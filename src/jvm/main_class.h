// Running the program's main method on the Java thread. The runtime's own
// launcher helper (sun.launcher.LauncherHelper, which java uses) loads and
// checks the main class in every form: a class, a runnable jar, a module, a
// JavaFX application without main, and the instance and no-argument main
// methods of recent runtimes. A runtime without it gets the class through
// FindClass and its static main(String[]).
#pragma once

#include "platform/text.h"

namespace corvid {

class Launcher;

enum class MainOutcome {
    NotStarted,  // the start failed; the message has been shown where one exists
    Returned,    // main returned, or threw and the user chose Ignore
    Threw,       // an exception escaped main and no failure check stopped it
};

// Loads the main class, calls main with the arguments and handles an
// exception that escapes it.
MainOutcome invokeMainClass(Launcher& launcher);

// The message for a launcher helper that refused the main class and is
// ending the process: message 211 with the program, then the helper's words.
WideString mainCheckFailureMessage(Launcher& launcher);

}  // namespace corvid
