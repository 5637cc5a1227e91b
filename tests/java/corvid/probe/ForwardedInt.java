package corvid.probe;

// A single-instance application with the int secondaryMain: it answers the
// first forwarded argument read as a number (0 when it is none).
public class ForwardedInt {
    public static void main(String[] args) throws Exception {
        InstanceProbe.runMain(args);
    }

    public static int secondaryMain(String[] args) {
        InstanceProbe.record("int", args);
        try {
            return args.length > 0 ? Integer.parseInt(args[0]) : 0;
        } catch (NumberFormatException e) {
            return 0;
        }
    }
}
