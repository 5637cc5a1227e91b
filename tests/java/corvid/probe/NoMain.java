package corvid.probe;

// A class without a main method.
public class NoMain {
    public static void run(String[] args) {
        System.out.println("never called");
    }
}
