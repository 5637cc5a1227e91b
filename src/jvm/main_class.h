// Running the configured main class's main(String[]) on the Java thread.
#pragma once

namespace corvid {

class Launcher;

// Finds mainClass, calls main with the arguments and handles an exception
// that escapes it. False when main could not be called (message shown where
// one exists).
bool invokeMainClass(Launcher& launcher);

}  // namespace corvid
