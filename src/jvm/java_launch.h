// The steps of the run phase that bring the JVM into the process and run the
// main class, in the order the run phase calls them: prepareEnvironment,
// loadJvmLibrary, buildJvmOptions (and the program's view of them,
// inputArgumentsOf), runJavaThread; destroyJavaVm at teardown.
#pragma once

#include "jvm/input_arguments.h"
#include "jvm/java_thread.h"
#include "jvm/jvm_loader.h"
#include "jvm/jvm_options.h"
#include "jvm/process_environment.h"
