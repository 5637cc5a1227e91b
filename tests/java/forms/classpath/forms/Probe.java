package forms;

import java.lang.reflect.Field;

/** Does what each argument names, so java and the launcher can be compared. */
public class Probe {
    public static void main(String[] args) throws Exception {
        for (String action : args) {
            switch (action) {
                case "command" -> System.out.println("command=" + System.getProperty("sun.java.command"));
                case "open" -> System.out.println("java.lang " + (opened() ? "opened" : "closed"));
                case "helper" -> System.out.println(forms.lib.Helper.greeting());
                case "agent" -> System.out.println("agent " + System.getProperty("forms.agent", "absent"));
                case "native" -> loadNothing();
                case "throw" -> throw new IllegalStateException("escaped main");
                default -> System.out.println("argument " + action);
            }
        }
    }

    private static boolean opened() throws NoSuchFieldException {
        Field value = String.class.getDeclaredField("value");
        try {
            value.setAccessible(true);
            return true;
        } catch (RuntimeException e) {
            return false;
        }
    }

    // A restricted method: the runtime warns unless native access is enabled.
    private static void loadNothing() {
        try {
            System.loadLibrary("corvid-no-such-library");
        } catch (UnsatisfiedLinkError e) {
            System.out.println("no library");
        }
    }
}
