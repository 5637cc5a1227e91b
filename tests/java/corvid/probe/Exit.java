package corvid.probe;

// Ends the process with the code given as the first argument.
public class Exit {
    public static void main(String[] args) {
        System.out.println("exiting with " + args[0]);
        System.exit(Integer.parseInt(args[0]));
    }
}
