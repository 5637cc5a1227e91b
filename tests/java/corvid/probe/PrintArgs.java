package corvid.probe;

// Prints how many arguments main received and each one in brackets.
public class PrintArgs {
    public static void main(String[] args) {
        System.out.println("count " + args.length);
        for (String arg : args) {
            System.out.println("[" + arg + "]");
        }
    }
}
