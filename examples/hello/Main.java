package example;

// The sample application: greets whoever the command line names and tells
// which Java runtime the launcher chose for it.
public class Main {
    public static void main(String[] args) {
        String who = args.length > 0 ? String.join(" ", args) : "world";
        System.out.println(System.getProperty("example.greeting", "Hello") + ", " + who + "!");
        System.out.println("Java " + System.getProperty("java.version") + " from " + System.getProperty("java.home"));
        System.out.println("Maximum heap: " + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MiB");
    }
}
