package forms;

import java.lang.instrument.Instrumentation;

/** The runnable jar's Launcher-Agent-Class: runs before main. */
public class Agent {
    public static void agentmain(String arguments, Instrumentation instrumentation) {
        System.setProperty("forms.agent", "ran");
    }
}
