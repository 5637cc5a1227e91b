package corvid.probe;

// A single-instance application without secondaryMain.
public class NoSecondary {
    public static void main(String[] args) throws Exception {
        InstanceProbe.runMain(args);
    }
}
