package forms;

import java.awt.SplashScreen;
import java.lang.management.ManagementFactory;
import java.lang.reflect.Field;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** Does what each argument names, so java and the launcher can be compared. */
public class Probe {
    public static void main(String[] args) throws Exception {
        for (int i = 0; i < args.length; i++) {
            String action = args[i];
            switch (action) {
                case "command" -> System.out.println("command=" + System.getProperty("sun.java.command"));
                case "open" -> System.out.println("java.lang " + (opened() ? "opened" : "closed"));
                case "helper" -> System.out.println(forms.lib.Helper.greeting());
                case "agent" -> System.out.println("agent " + System.getProperty("forms.agent", "absent"));
                case "native" -> loadNothing();
                case "throw" -> throw new IllegalStateException("escaped main");
                case "inputs" -> System.out.println("inputs=" + ManagementFactory.getRuntimeMXBean().getInputArguments());
                case "launcher" -> System.out.println("launcher=" + System.getProperty("sun.java.launcher"));
                case "splash" -> System.out.println(splash());
                // The rest of the arguments go to the same program, started again.
                case "relaunch" -> System.exit(relaunch(Arrays.copyOfRange(args, i + 1, args.length)));
                default -> {
                    if (action.startsWith("exit=")) System.exit(Integer.parseInt(action.substring(5)));
                    System.out.println("argument " + action);
                }
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

    private static String splash() {
        SplashScreen splash = SplashScreen.getSplashScreen();
        if (splash == null) return "no splash";
        return "splash " + splash.getSize().width + "x" + splash.getSize().height + " " + splash.getImageURL().getPath()
                .replaceAll(".*/", "");
    }

    // As programs restart themselves: java.home's java, the input arguments,
    // the class path and the class; the child's output is ours, its code too.
    private static int relaunch(String[] rest) throws Exception {
        List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        command.addAll(ManagementFactory.getRuntimeMXBean().getInputArguments());
        command.add("-cp");
        command.add(System.getProperty("java.class.path"));
        command.add(Probe.class.getName());
        command.addAll(Arrays.asList(rest));
        System.out.println("relaunching");
        System.out.flush();
        return new ProcessBuilder(command).inheritIO().start().waitFor();
    }
}
