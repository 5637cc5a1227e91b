package corvid.probe;

// A single-instance application with the void secondaryMain. Forwarded
// arguments "sleep" and "throw" make it take two seconds or fail.
public class Forwarded {
    public static void main(String[] args) throws Exception {
        InstanceProbe.runMain(args);
    }

    public static void secondaryMain(String[] args) throws Exception {
        InstanceProbe.record("void", args);
        if (args.length > 0 && args[0].equals("sleep")) {
            Thread.sleep(2000);
            InstanceProbe.record("slept", new String[0]);
        }
        if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("secondary failure");
    }
}
