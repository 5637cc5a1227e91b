package corvid.probe;

// Prints the system properties ("prop:NAME") and environment variables
// ("env:NAME") named by the arguments, one "NAME=value" a line.
public class Settings {
    public static void main(String[] args) {
        for (String arg : args) {
            String name = arg.substring(arg.indexOf(':') + 1);
            String value = arg.startsWith("env:") ? System.getenv(name) : System.getProperty(name);
            System.out.println(name + "=" + value);
        }
    }
}
